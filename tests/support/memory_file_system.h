#pragma once
// A file system held in memory and an install folder fixed by the test: the stores read and write
// through them without touching the disk. Header-only, so that targets which link no test support
// sources (the fuzz targets) can use them too.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"

namespace vx::test {

// Files by full path; a folder lists its files in the order they were created.
class MemoryFileSystem final : public FileSystem {
  public:
    std::optional<std::string> readFile(const std::string& path) override {
        auto it = files_.find(path);
        if (it == files_.end())
            return std::nullopt;
        return it->second;
    }
    bool writeFile(const std::string& path, const std::string& bytes,
                   uint32_t* = nullptr) override {
        put(path, bytes);
        return true;
    }
    bool appendFile(const std::string& path, const std::string& bytes,
                    uint32_t* = nullptr) override {
        auto it = files_.find(path);
        put(path, (it == files_.end() ? std::string() : it->second) + bytes);
        return true;
    }
    bool createFolder(const std::string& path, uint32_t* = nullptr) override {
        folders_.insert(path);
        return true;
    }
    bool isFolder(const std::string& path) override { return folders_.count(path) != 0; }
    bool exists(const std::string& path) override {
        return files_.count(path) != 0 || folders_.count(path) != 0;
    }
    std::optional<uint64_t> fileSize(const std::string& path) override {
        auto it = files_.find(path);
        if (it == files_.end())
            return std::nullopt;
        return it->second.size();
    }
    bool removeFile(const std::string& path) override {
        if (files_.erase(path) == 0)
            return false;
        std::erase(order_, path);
        return true;
    }
    std::vector<FolderEntry> listFolder(const std::string& path) override {
        std::vector<FolderEntry> entries;
        for (const std::string& folder : folders_) {
            if (parentOf(folder) == path)
                entries.push_back({nameOf(folder), true, 0});
        }
        for (const std::string& file : order_) {
            if (parentOf(file) == path)
                entries.push_back({nameOf(file), false, files_[file].size()});
        }
        return entries;
    }

  private:
    void put(const std::string& path, std::string bytes) {
        if (files_.count(path) == 0)
            order_.push_back(path);
        files_[path] = std::move(bytes);
    }
    static std::string parentOf(const std::string& path) {
        const std::size_t sep = path.rfind(pathSeparator());
        return sep == std::string::npos ? std::string() : path.substr(0, sep);
    }
    static std::string nameOf(const std::string& path) {
        return path.substr(path.rfind(pathSeparator()) + 1);
    }

    std::map<std::string, std::string> files_;
    std::vector<std::string> order_;
    std::set<std::string> folders_;
};

// An install folder (given without its trailing separator) and, when set, the registry value.
class FixedInstallEnvironment final : public InstallEnvironment {
  public:
    explicit FixedInstallEnvironment(std::string folder,
                                     std::optional<std::string> registryPath = std::nullopt)
        : folder_(std::move(folder)), registryPath_(std::move(registryPath)) {}
    std::string installFolder() override { return joinPath(folder_, ""); }
    std::optional<std::string> registryInstallPath() override { return registryPath_; }

  private:
    std::string folder_;
    std::optional<std::string> registryPath_;
};

}  // namespace vx::test

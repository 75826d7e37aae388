#pragma once
// A file system held in memory and an install folder fixed by the test: the stores and the file
// pass read and write through them without touching the disk. Header-only, so that targets which
// link no test support sources (the fuzz targets) can use them too.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"

namespace vx::test {

// Files by full path; a folder lists its subfolders, then its files in the order they were
// created. The public members set up failures and count what was asked.
class MemoryFileSystem final : public FileSystem {
  public:
    std::map<std::string, std::string> files;  // full path -> bytes
    std::vector<std::string> creationOrder;
    std::set<std::string> folders;

    bool ignoreCase = false;                // names that differ in ASCII letter case are one file
    uint32_t writeError = 0;                // nonzero: every whole-file write fails with it
    bool appendNeedsFolder = false;         // an append into a folder never created fails (32)
    std::set<std::string> lockedFiles;      // an append fails whole (32)
    std::set<std::string> fullDiskFiles;    // half of an append is written, then it fails (112)
    std::set<std::string> unreadableFiles;  // listed, but reading fails
    bool folderCreationFails = false;       // createFolder fails (5)
    std::vector<FolderEntry> listedOnly;    // shown by every listing, not found by a direct look
    std::function<void(const std::string& path)> beforeRead;  // may throw, as a read can
    std::function<void()> beforeCreate;  // runs once before the next writeNewFile

    std::vector<std::string> reads;
    int statCalls = 0;
    int listCalls = 0;
    int appendCalls = 0;

    void put(const std::string& path, std::string bytes) {
        auto it = find(path);
        if (it != files.end()) {
            it->second = std::move(bytes);
            return;
        }
        creationOrder.push_back(path);
        files[path] = std::move(bytes);
    }

    std::optional<std::string> readFile(const std::string& path) override {
        reads.push_back(path);
        if (beforeRead)
            beforeRead(path);
        auto it = find(path);
        if (it == files.end() || unreadableFiles.count(path))
            return std::nullopt;
        return it->second;
    }
    bool writeFile(const std::string& path, const std::string& bytes,
                   uint32_t* error = nullptr) override {
        if (writeError) {
            if (error)
                *error = writeError;
            return false;
        }
        put(path, bytes);
        return true;
    }
    bool appendFile(const std::string& path, const std::string& bytes,
                    uint32_t* error = nullptr) override {
        ++appendCalls;
        if (lockedFiles.count(path) || (appendNeedsFolder && !folders.count(parentOf(path)))) {
            if (error)
                *error = 32;
            return false;
        }
        auto it = find(path);
        std::string existing = it == files.end() ? std::string() : it->second;
        if (fullDiskFiles.count(path)) {
            put(path, existing + bytes.substr(0, bytes.size() / 2));
            if (error)
                *error = 112;
            return false;
        }
        if (writeError) {
            if (error)
                *error = writeError;
            return false;
        }
        put(path, existing + bytes);
        return true;
    }
    bool createFolder(const std::string& path, uint32_t* error = nullptr) override {
        if (folderCreationFails) {
            if (error)
                *error = 5;
            return false;
        }
        folders.insert(path);
        return true;
    }
    bool isFolder(const std::string& path) override { return folders.count(path) != 0; }
    bool exists(const std::string& path) override {
        return find(path) != files.end() || folders.count(path) != 0;
    }
    std::optional<uint64_t> fileSize(const std::string& path) override {
        ++statCalls;
        auto it = find(path);
        if (it != files.end())
            return it->second.size();
        if (folders.count(path))
            return 0;
        return std::nullopt;
    }
    bool removeFile(const std::string& path) override {
        auto it = find(path);
        if (it == files.end())
            return false;
        std::erase(creationOrder, it->first);
        files.erase(it);
        return true;
    }
    std::vector<FolderEntry> listFolder(const std::string& path) override {
        ++listCalls;
        std::vector<FolderEntry> entries;
        for (const std::string& folder : folders) {
            if (parentOf(folder) == path)
                entries.push_back({nameOf(folder), true, 0});
        }
        for (const std::string& file : creationOrder) {
            if (parentOf(file) == path)
                entries.push_back({nameOf(file), false, files[file].size()});
        }
        entries.insert(entries.end(), listedOnly.begin(), listedOnly.end());
        return entries;
    }
    bool enterFolder(const std::string& folder) override { return !folder.empty(); }
    std::string fullPath(const std::string& path) override { return path; }
    CreateOutcome writeNewFile(const std::string& path, const char* data, uint64_t size) override {
        if (beforeCreate)
            std::exchange(beforeCreate, nullptr)();
        if (find(path) != files.end())
            return CreateOutcome::AlreadyExists;
        put(path, std::string(data, data + size));
        return CreateOutcome::Created;
    }
    bool namesIgnoreCase() const override { return ignoreCase; }

    static std::string parentOf(const std::string& path) {
        const std::size_t sep = path.rfind(pathSeparator());
        return sep == std::string::npos ? std::string() : path.substr(0, sep);
    }
    static std::string nameOf(const std::string& path) {
        return path.substr(path.rfind(pathSeparator()) + 1);
    }

  private:
    std::map<std::string, std::string>::iterator find(const std::string& path) {
        if (!ignoreCase)
            return files.find(path);
        auto lower = [](std::string s) {
            for (char& c : s)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c + 32);
            return s;
        };
        for (auto it = files.begin(); it != files.end(); ++it)
            if (lower(it->first) == lower(path))
                return it;
        return files.end();
    }
};

// An install folder and, when set, the registry value. The folder is given with or without its
// trailing separator; an empty folder means the install folder cannot be found.
class FakeInstall final : public InstallEnvironment {
  public:
    FakeInstall() = default;
    explicit FakeInstall(std::string folderPath, std::optional<std::string> registryPath = {})
        : folder(std::move(folderPath)), registry(std::move(registryPath)) {}

    std::string folder;
    std::optional<std::string> registry;

    std::string installFolder() override { return joinPath(folder, ""); }
    std::optional<std::string> registryInstallPath() override { return registry; }
};

}  // namespace vx::test

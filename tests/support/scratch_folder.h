#pragma once
// A fresh, empty folder for one test, removed with everything in it afterwards. Works in native
// builds and under Wine alike.

#include <atomic>
#include <cstdint>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "base/file_system.h"

namespace vx::test {

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& tag = "vx") {
        static std::atomic<int> counter{0};
        auto base = std::filesystem::temp_directory_path();
        for (int attempt = 0;; ++attempt) {
            auto candidate = base / (tag + "-" + std::to_string(uniqueSeed()) + "-" +
                                     std::to_string(counter++) + "-" + std::to_string(attempt));
            std::error_code ec;
            if (std::filesystem::create_directory(candidate, ec)) {
                path_ = candidate;
                break;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder in the platform's own form, without a trailing separator.
    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return joinPath(path(), name); }

    // Writes `size` bytes of `fill` (or `bytes` as given) into `name` inside the folder.
    std::string put(const std::string& name, std::size_t size, char fill = 'x') const {
        return putBytes(name, std::string(size, fill));
    }
    std::string putBytes(const std::string& name, const std::string& bytes) const {
        std::string p = file(name);
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool has(const std::string& name) const { return std::filesystem::exists(path_ / name); }
    std::size_t count() const {
        std::size_t n = 0;
        for (auto it = std::filesystem::directory_iterator(path_);
             it != std::filesystem::directory_iterator(); ++it)
            ++n;
        return n;
    }

  private:
    static unsigned long uniqueSeed() {
        return static_cast<unsigned long>(
            std::hash<std::string>{}(
                std::to_string(reinterpret_cast<std::uintptr_t>(&counterTag)) +
                std::to_string(
                    std::filesystem::file_time_type::clock::now().time_since_epoch().count())) %
            1000000007UL);
    }
    static inline int counterTag = 0;
    std::filesystem::path path_;
};

}  // namespace vx::test

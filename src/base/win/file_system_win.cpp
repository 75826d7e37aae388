#include <windows.h>

#include <algorithm>

#include "base/file_system.h"

namespace vx {


namespace {

class HandleGuard {
public:
    explicit HandleGuard(HANDLE h) : handle_(h) {}
    ~HandleGuard() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool writeAll(HANDLE h, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool writeWith(const std::string& path, const std::string& bytes, DWORD disposition, bool append,
               uint32_t* error) {
    HandleGuard file(CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                 FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return false;
    }
    if (!writeAll(file.get(), bytes)) {
        if (error) *error = GetLastError();
        return false;
    }
    return true;
}

class Win32FileSystem final : public FileSystem {
public:
    std::optional<std::string> readFile(const std::string& path) override {
        HandleGuard file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
        std::string bytes;
        char chunk[65536];
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) return std::nullopt;
            if (read == 0) break;
            bytes.append(chunk, read);
        }
        return bytes;
    }

    bool writeFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return writeWith(path, bytes, CREATE_ALWAYS, false, error);
    }

    bool appendFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return writeWith(path, bytes, OPEN_ALWAYS, true, error);
    }

    bool createFolder(const std::string& path, uint32_t* error) override {
        if (CreateDirectoryA(path.c_str(), nullptr)) return true;
        DWORD err = GetLastError();
        if (err == ERROR_ALREADY_EXISTS && isFolder(path)) return true;
        if (error) *error = err;
        return false;
    }

    bool isFolder(const std::string& path) override {
        DWORD attrs = GetFileAttributesA(path.c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool exists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::optional<uint64_t> fileSize(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    bool removeFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

    std::vector<FolderEntry> listFolder(const std::string& path) override {
        std::vector<FolderEntry> entries;
        WIN32_FIND_DATAA found{};
        HANDLE h = FindFirstFileA(joinPath(path, "*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return entries;
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            FolderEntry entry;
            entry.name = name;
            entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.size = entry.isFolder ? 0
                                        : (static_cast<uint64_t>(found.nFileSizeHigh) << 32) |
                                              found.nFileSizeLow;
            entries.push_back(std::move(entry));
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return entries;
    }
};

}  // namespace

FileSystem& platformFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

}  // namespace vx

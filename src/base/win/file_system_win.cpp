#include <direct.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "base/file_system.h"

namespace vx {

namespace {

class HandleGuard {
  public:
    explicit HandleGuard(HANDLE h) : handle_(h) {}
    ~HandleGuard() { close(); }
    bool close() {
        HANDLE h = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || CloseHandle(h);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

bool writeAll(HANDLE h, const char* data, uint64_t size) {
    uint64_t done = 0;
    while (done < size) {
        DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(h, data + done, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            // Nothing written and nothing said: a write fault, not "completed successfully".
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

bool writeAll(HANDLE h, const std::string& bytes) {
    return writeAll(h, bytes.data(), bytes.size());
}

void setError(uint32_t* error, DWORD code) {
    if (error)
        *error = code != 0 ? code : ERROR_WRITE_FAULT;
}

// A name beside `path` that no other writer of this process or another one picks.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) +
           ".tmp";
}

bool replaceWhole(const std::string& path, const std::string& bytes, uint32_t* error) {
    // The new bytes are complete on disk before they take the old file's place, so a failed
    // write (disk full, quota, a dropped share) leaves the old file as it was.
    const std::string temporary = temporaryNameFor(path);
    DWORD code = 0;
    {
        HandleGuard file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            setError(error, GetLastError());
            return false;
        }
        if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()))
            code = GetLastError();
        if (code == 0 && !file.close())
            code = GetLastError();
    }
    if (code == 0 && !MoveFileExA(temporary.c_str(), path.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        code = GetLastError();
    if (code != 0) {
        DeleteFileA(temporary.c_str());
        setError(error, code);
        return false;
    }
    return true;
}

bool appendWhole(const std::string& path, const std::string& bytes, uint32_t* error) {
    LARGE_INTEGER before{};
    DWORD code = 0;
    {
        HandleGuard file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            setError(error, GetLastError());
            return false;
        }
        if (!GetFileSizeEx(file.get(), &before)) {
            setError(error, GetLastError());
            return false;
        }
        if (!writeAll(file.get(), bytes))
            code = GetLastError();
        if (code == 0 && !file.close())
            code = GetLastError();
    }
    if (code == 0)
        return true;
    // A torn block would cost a strict reader the whole day: cut back to what was there. An
    // appending handle cannot set the end, so a writing one does it.
    HandleGuard file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() != INVALID_HANDLE_VALUE &&
        SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN))
        SetEndOfFile(file.get());
    setError(error, code);
    return false;
}

class Win32FileSystem final : public FileSystem {
  public:
    std::optional<std::string> readFile(const std::string& path) override {
        HandleGuard file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE)
            return std::nullopt;
        std::string bytes;
        char chunk[65536];
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr))
                return std::nullopt;
            if (read == 0)
                break;
            bytes.append(chunk, read);
        }
        return bytes;
    }

    bool writeFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return replaceWhole(path, bytes, error);
    }

    bool appendFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return appendWhole(path, bytes, error);
    }

    bool createFolder(const std::string& path, uint32_t* error) override {
        if (CreateDirectoryA(path.c_str(), nullptr))
            return true;
        DWORD err = GetLastError();
        if (err == ERROR_ALREADY_EXISTS && isFolder(path))
            return true;
        if (error)
            *error = err;
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
        if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
            return std::nullopt;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return 0;
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    bool removeFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

    std::vector<FolderEntry> listFolder(const std::string& path) override {
        std::vector<FolderEntry> entries;
        WIN32_FIND_DATAA found{};
        HANDLE h = FindFirstFileA(joinPath(path, "*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE)
            return entries;
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
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

    bool enterFolder(const std::string& folder) override {
        return !folder.empty() && _chdir(folder.c_str()) == 0;
    }

    std::string fullPath(const std::string& path) override {
        const char* asked = path.empty() ? "." : path.c_str();
        std::string full(MAX_PATH, '\0');
        for (int attempt = 0; attempt < 3; ++attempt) {
            DWORD length =
                GetFullPathNameA(asked, static_cast<DWORD>(full.size()), full.data(), nullptr);
            if (length == 0)
                return path;
            if (length < full.size()) {
                full.resize(length);
                return full;
            }
            full.assign(length, '\0');
        }
        return path;
    }

    CreateOutcome writeNewFile(const std::string& path, const char* data, uint64_t size) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                       ? CreateOutcome::AlreadyExists
                       : CreateOutcome::Failed;
        }
        bool ok = writeAll(file, data, size);
        if (!CloseHandle(file))
            ok = false;
        if (!ok) {
            // CREATE_NEW made the file ours, so removing it removes nothing else.
            DeleteFileA(path.c_str());
            return CreateOutcome::Failed;
        }
        return CreateOutcome::Created;
    }

    bool namesIgnoreCase() const override { return true; }
};

}  // namespace

FileSystem& platformFileSystem() {
    static Win32FileSystem fs;
    return fs;
}

}  // namespace vx

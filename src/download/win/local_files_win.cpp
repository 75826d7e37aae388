#include <direct.h>
#include <windows.h>

#include <algorithm>

#include "download/local_files.h"

namespace vx {

namespace {

class Win32LocalFiles final : public LocalFiles {
  public:
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

    std::optional<uint64_t> entrySize(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
            return std::nullopt;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            return 0;
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    std::vector<FolderEntry> listFolder(const std::string& folder) override {
        return platformFileSystem().listFolder(folder.empty() ? "." : folder);
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
        bool ok = true;
        uint64_t done = 0;
        while (ok && done < size) {
            DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(size - done, 1u << 30));
            DWORD written = 0;
            ok = WriteFile(file, data + done, chunk, &written, nullptr) && written > 0;
            done += written;
        }
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

LocalFiles& platformLocalFiles() {
    static Win32LocalFiles files;
    return files;
}

}  // namespace vx

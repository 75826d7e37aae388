#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_system.h"

namespace vx {


namespace {

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool writeWithFlags(const std::string& path, const std::string& bytes, int flags, uint32_t* error) {
    int fd = ::open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (error) *error = static_cast<uint32_t>(errno);
        return false;
    }
    bool ok = writeAll(fd, bytes);
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok && error) *error = static_cast<uint32_t>(savedErrno);
    return ok;
}

class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::string> readFile(const std::string& path) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return std::nullopt;
        }
        std::string bytes;
        char chunk[65536];
        for (;;) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR) continue;
                ::close(fd);
                return std::nullopt;
            }
            if (n == 0) break;
            bytes.append(chunk, static_cast<size_t>(n));
        }
        ::close(fd);
        return bytes;
    }

    bool writeFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return writeWithFlags(path, bytes, O_TRUNC, error);
    }

    bool appendFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return writeWithFlags(path, bytes, O_APPEND, error);
    }

    bool createFolder(const std::string& path, uint32_t* error) override {
        if (::mkdir(path.c_str(), 0755) == 0) return true;
        int err = errno;
        if (err == EEXIST && isFolder(path)) return true;
        if (error) *error = static_cast<uint32_t>(err);
        return false;
    }

    bool isFolder(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    bool exists(const std::string& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    std::optional<uint64_t> fileSize(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
        return static_cast<uint64_t>(st.st_size);
    }

    bool removeFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    std::vector<FolderEntry> listFolder(const std::string& path) override {
        std::vector<FolderEntry> entries;
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return entries;
        while (struct dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            FolderEntry entry;
            entry.name = name;
            struct stat st {};
            if (::stat(joinPath(path, name).c_str(), &st) == 0) {
                entry.isFolder = S_ISDIR(st.st_mode);
                entry.size = entry.isFolder ? 0 : static_cast<uint64_t>(st.st_size);
            }
            entries.push_back(std::move(entry));
        }
        ::closedir(dir);
        return entries;
    }
};

}  // namespace

FileSystem& platformFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace vx

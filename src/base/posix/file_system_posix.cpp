#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

#include "base/file_system.h"

namespace vx {

namespace {

bool writeAll(int fd, const char* data, uint64_t size) {
    uint64_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<uint64_t>(n);
    }
    return true;
}

bool writeAll(int fd, const std::string& bytes) {
    return writeAll(fd, bytes.data(), bytes.size());
}

void setError(uint32_t* error, int code) {
    // A failure that left no code behind is still a failure of the write.
    if (error)
        *error = static_cast<uint32_t>(code != 0 ? code : EIO);
}

// A name beside `path` that no other writer of this process or another one picks.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool replaceWhole(const std::string& path, const std::string& bytes, uint32_t* error) {
    // The new bytes are complete on disk before they take the old file's place, so a failed
    // write (disk full, quota, a dropped share) leaves the old file as it was.
    const std::string temporary = temporaryNameFor(path);
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        setError(error, errno);
        return false;
    }
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        setError(error, code);
    }
    return ok;
}

bool appendWhole(const std::string& path, const std::string& bytes, uint32_t* error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        setError(error, errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    int code = ok ? 0 : errno;
    if (ok && !writeAll(fd, bytes)) {
        ok = false;
        code = errno;
        // A torn block would cost a strict reader the whole day: cut back to what was there.
        (void)::ftruncate(fd, st.st_size);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok)
        setError(error, code);
    return ok;
}

class PosixFileSystem final : public FileSystem {
  public:
    std::optional<std::string> readFile(const std::string& path) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return std::nullopt;
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
                if (errno == EINTR)
                    continue;
                ::close(fd);
                return std::nullopt;
            }
            if (n == 0)
                break;
            bytes.append(chunk, static_cast<size_t>(n));
        }
        ::close(fd);
        return bytes;
    }

    bool writeFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return replaceWhole(path, bytes, error);
    }

    bool appendFile(const std::string& path, const std::string& bytes, uint32_t* error) override {
        return appendWhole(path, bytes, error);
    }

    bool createFolder(const std::string& path, uint32_t* error) override {
        if (::mkdir(path.c_str(), 0755) == 0)
            return true;
        int err = errno;
        if (err == EEXIST && isFolder(path))
            return true;
        if (error)
            *error = static_cast<uint32_t>(err);
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
        if (path.empty() || ::stat(path.c_str(), &st) != 0)
            return std::nullopt;
        return S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    }

    bool removeFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    std::vector<FolderEntry> listFolder(const std::string& path) override {
        std::vector<FolderEntry> entries;
        DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
        if (!dir)
            return entries;
        int dirFd = ::dirfd(dir);
        while (struct dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            FolderEntry entry;
            entry.name = std::move(name);
            struct stat st {};
            if (::fstatat(dirFd, e->d_name, &st, 0) == 0) {
                entry.isFolder = S_ISDIR(st.st_mode);
                entry.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
            }
            entries.push_back(std::move(entry));
        }
        ::closedir(dir);
        return entries;
    }

    bool enterFolder(const std::string& folder) override {
        return !folder.empty() && ::chdir(folder.c_str()) == 0;
    }

    std::string fullPath(const std::string& path) override {
        if (!path.empty() && path.front() == '/')
            return path;
        std::vector<char> buffer(4096);
        while (!::getcwd(buffer.data(), buffer.size())) {
            if (errno != ERANGE)
                return path;
            buffer.resize(buffer.size() * 2);
        }
        std::string here = buffer.data();
        return path.empty() ? here : joinPath(here, path);
    }

    CreateOutcome writeNewFile(const std::string& path, const char* data, uint64_t size) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return errno == EEXIST ? CreateOutcome::AlreadyExists : CreateOutcome::Failed;
        bool ok = writeAll(fd, data, size);
        if (::close(fd) != 0)
            ok = false;
        if (!ok) {
            // The name was ours from the exclusive create, so removing it removes nothing else.
            ::unlink(path.c_str());
            return CreateOutcome::Failed;
        }
        return CreateOutcome::Created;
    }

    bool namesIgnoreCase() const override { return false; }
};

}  // namespace

FileSystem& platformFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

}  // namespace vx

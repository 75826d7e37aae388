#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "download/local_files.h"

namespace vx {

namespace {

class PosixLocalFiles final : public LocalFiles {
  public:
    bool enterFolder(const std::string& folder) override {
        return !folder.empty() && ::chdir(folder.c_str()) == 0;
    }

    std::string fullPath(const std::string& path) override {
        if (!path.empty() && path.front() == '/')
            return path;
        std::string here;
        std::vector<char> buffer(4096);
        while (!::getcwd(buffer.data(), buffer.size())) {
            if (errno != ERANGE)
                return path;
            buffer.resize(buffer.size() * 2);
        }
        here = buffer.data();
        return path.empty() ? here : joinPath(here, path);
    }

    std::optional<uint64_t> entrySize(const std::string& path) override {
        struct stat st {};
        if (path.empty() || ::stat(path.c_str(), &st) != 0)
            return std::nullopt;
        return S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    }

    std::vector<FolderEntry> listFolder(const std::string& folder) override {
        std::vector<FolderEntry> entries;
        DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
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

    CreateOutcome writeNewFile(const std::string& path, const char* data, uint64_t size) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            return errno == EEXIST ? CreateOutcome::AlreadyExists : CreateOutcome::Failed;
        uint64_t done = 0;
        bool ok = true;
        while (done < size) {
            ssize_t n = ::write(fd, data + done, static_cast<size_t>(size - done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ok = false;
                break;
            }
            done += static_cast<uint64_t>(n);
        }
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

LocalFiles& platformLocalFiles() {
    static PosixLocalFiles files;
    return files;
}

}  // namespace vx

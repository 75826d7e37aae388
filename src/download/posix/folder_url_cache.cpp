#include "download/posix/folder_url_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/file_system.h"

namespace vx {

namespace {

uint64_t fnv1a(const std::string& text) {
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

// Copy chunk: the progress callback runs after each, as the system's copy reports in steps.
constexpr std::size_t kCopyChunk = 256 * 1024;

class EmptyUrlCache final : public UrlCache {
  public:
    std::optional<CacheEntry> lookup(const std::string&) override { return std::nullopt; }
    CopyOutcome copyToNew(const std::string&, const std::string&, const CopyProgress&) override {
        return CopyOutcome::Failed;
    }
};

}  // namespace

FolderUrlCache::FolderUrlCache(std::string folder) : folder_(std::move(folder)) {}

std::string FolderUrlCache::slotFor(const std::string& address, bool* present) {
    char key[32];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(fnv1a(address)));
    FileSystem& fs = platformFileSystem();
    for (int n = 0;; ++n) {
        std::string slot = joinPath(folder_, std::string(key) + (n ? "-" + std::to_string(n) : ""));
        std::optional<std::string> stored = fs.readFile(slot + ".url");
        if (!stored) {
            *present = false;
            return slot;
        }
        if (*stored == address) {
            *present = true;
            return slot;
        }
    }
}

bool FolderUrlCache::store(const std::string& address, const std::string& bytes) {
    bool present = false;
    std::string slot = slotFor(address, &present);
    FileSystem& fs = platformFileSystem();
    return fs.writeFile(slot + ".data", bytes) && fs.writeFile(slot + ".url", address);
}

std::optional<CacheEntry> FolderUrlCache::lookup(const std::string& address) {
    bool present = false;
    std::string slot = slotFor(address, &present);
    if (!present)
        return std::nullopt;
    std::string data = slot + ".data";
    std::optional<uint64_t> size = platformFileSystem().fileSize(data);
    if (!size)
        return std::nullopt;
    return CacheEntry{data, *size};
}

CopyOutcome FolderUrlCache::copyToNew(const std::string& from, const std::string& to,
                                      const CopyProgress& progress) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return CopyOutcome::Failed;
    struct stat st {};
    if (::fstat(in, &st) != 0) {
        ::close(in);
        return CopyOutcome::Failed;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        int err = errno;
        ::close(in);
        return err == EEXIST ? CopyOutcome::AlreadyExists : CopyOutcome::Failed;
    }
    uint64_t total = static_cast<uint64_t>(st.st_size);
    uint64_t done = 0;
    CopyOutcome outcome = CopyOutcome::Copied;
    std::vector<char> buffer(kCopyChunk);
    if (progress && !progress(0, total))
        outcome = CopyOutcome::Cancelled;
    while (outcome == CopyOutcome::Copied) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            outcome = CopyOutcome::Failed;
            break;
        }
        if (n == 0)
            break;
        for (ssize_t written = 0; written < n;) {
            ssize_t w = ::write(out, buffer.data() + written, static_cast<size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                outcome = CopyOutcome::Failed;
                break;
            }
            written += w;
        }
        done += static_cast<uint64_t>(n);
        if (outcome == CopyOutcome::Copied && progress && !progress(done, total))
            outcome = CopyOutcome::Cancelled;
    }
    ::close(in);
    if (::close(out) != 0 && outcome == CopyOutcome::Copied)
        outcome = CopyOutcome::Failed;
    // The destination was created by this copy, so removing it touches nothing else.
    if (outcome != CopyOutcome::Copied)
        ::unlink(to.c_str());
    return outcome;
}

std::unique_ptr<UrlCache> platformUrlCache() {
    const char* folder = std::getenv("VEXARO_URL_CACHE");
    if (folder && *folder)
        return std::make_unique<FolderUrlCache>(folder);
    return std::make_unique<EmptyUrlCache>();
}

}  // namespace vx

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <vector>

#include "download/url_cache.h"
#include "download/win/url_cache_win.h"

namespace vx {

namespace {

constexpr DWORD kCopyChunkBytes = 64 * 1024;

// Closes a file handle on every road out of the copy.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void close() {
        if (valid())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE handle_;
};

bool writeAll(HANDLE file, const char* data, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, size, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

WinInetUrlCache::WinInetUrlCache() : buffer_(kInitialBufferBytes) {}

std::optional<CacheEntry> WinInetUrlCache::lookup(const std::string& address) {
    // A few growths at most: the entry can change size between two calls.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::fill(buffer_.begin(), buffer_.end(), 0);
        DWORD size = static_cast<DWORD>(buffer_.size());
        auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer_.data());
        info->dwStructSize = size;
        if (GetUrlCacheEntryInfoA(address.c_str(), info, &size)) {
            // Decided by the result: the error code after a success is not meaningful.
            if (!info->lpszLocalFileName)
                return std::nullopt;
            uint64_t bytes = (static_cast<uint64_t>(info->dwSizeHigh) << 32) | info->dwSizeLow;
            return CacheEntry{info->lpszLocalFileName, bytes};
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= buffer_.size())
            return std::nullopt;
        // The buffer keeps its larger size for the rest of the pass.
        buffer_.assign(size, 0);
    }
    return std::nullopt;
}

CopyOutcome WinInetUrlCache::copyToNew(const std::string& from, const std::string& to,
                                       const CopyProgress& progress) {
    // The destination is created first and exclusively: whatever goes wrong afterwards, the only
    // file this call may remove is the one it made. A name that is taken is never touched.
    FileHandle out(CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS
                   ? CopyOutcome::AlreadyExists
                   : CopyOutcome::Failed;
    }
    auto discard = [&](CopyOutcome outcome) {
        out.close();
        DeleteFileA(to.c_str());
        return outcome;
    };
    // The browser may hold the cached copy open: share everything, as a reader should.
    FileHandle in(CreateFileA(from.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER total{};
    if (!in.valid() || !GetFileSizeEx(in.get(), &total))
        return discard(CopyOutcome::Failed);

    // Copied by hand rather than by CopyFileExA: the progress routine of the system copy is
    // never called under Wine, so neither the bar nor "&Cancel Current" would work there.
    std::vector<char> chunk(kCopyChunkBytes);
    const uint64_t size = static_cast<uint64_t>(total.QuadPart);
    uint64_t copied = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), chunk.data(), kCopyChunkBytes, &got, nullptr))
            return discard(CopyOutcome::Failed);
        if (got == 0)
            break;
        if (!writeAll(out.get(), chunk.data(), got))
            return discard(CopyOutcome::Failed);
        copied += got;
        if (progress && !progress(copied, std::max(size, copied)))
            return discard(CopyOutcome::Cancelled);
    }
    if (copied == 0 && progress)
        progress(0, 0);
    out.close();
    return CopyOutcome::Copied;
}

std::unique_ptr<UrlCache> platformUrlCache() {
    return std::make_unique<WinInetUrlCache>();
}

}  // namespace vx

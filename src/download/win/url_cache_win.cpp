#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <vector>

#include "download/url_cache.h"
#include "download/win/url_cache_win.h"

namespace vx {

namespace {

struct CopyContext {
    const CopyProgress* progress;
    bool endReported = false;
};

DWORD CALLBACK copyProgressRoutine(LARGE_INTEGER totalSize, LARGE_INTEGER transferred,
                                   LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                                   LPVOID data) {
    // Nothing may leave this routine but its answer.
    try {
        auto* context = static_cast<CopyContext*>(data);
        if (!context->progress || !*context->progress)
            return PROGRESS_CONTINUE;
        context->endReported = transferred.QuadPart == totalSize.QuadPart;
        bool goOn = (*context->progress)(static_cast<uint64_t>(transferred.QuadPart),
                                         static_cast<uint64_t>(totalSize.QuadPart));
        return copyProgressAnswer(goOn);
    } catch (...) {
        return PROGRESS_CANCEL;
    }
}

}  // namespace

DWORD copyProgressAnswer(bool goOn) {
    return goOn ? PROGRESS_CONTINUE : PROGRESS_CANCEL;
}

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
    CopyContext context{&progress};
    if (CopyFileExA(from.c_str(), to.c_str(), copyProgressRoutine, &context, nullptr,
                    COPY_FILE_FAIL_IF_EXISTS)) {
        // Windows reports the last block as copied; Wine never calls the routine. The window
        // must not be left at "0% Complete" over a finished copy.
        WIN32_FILE_ATTRIBUTE_DATA copied{};
        if (!context.endReported && progress &&
            GetFileAttributesExA(to.c_str(), GetFileExInfoStandard, &copied)) {
            const uint64_t size =
                (static_cast<uint64_t>(copied.nFileSizeHigh) << 32) | copied.nFileSizeLow;
            progress(size, size);
        }
        return CopyOutcome::Copied;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        return CopyOutcome::AlreadyExists;
    // The destination did not exist before this call, so whatever is left of it is ours.
    DeleteFileA(to.c_str());
    return error == ERROR_REQUEST_ABORTED ? CopyOutcome::Cancelled : CopyOutcome::Failed;
}

std::unique_ptr<UrlCache> platformUrlCache() {
    return std::make_unique<WinInetUrlCache>();
}

}  // namespace vx

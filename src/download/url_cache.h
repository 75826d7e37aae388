#pragma once
// The browser's URL cache as the file pass sees it: whether an address has a local copy, and a
// copy of it into the save folder that reports its progress and can be cancelled.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vx {

struct CacheEntry {
    std::string localPath;  // the cached copy
    uint64_t size = 0;
};

enum class CopyOutcome {
    Copied,
    AlreadyExists,  // the destination name was taken; nothing was touched
    Cancelled,      // the progress callback said stop; no destination file is left
    Failed,         // any other failure; no destination file is left
};

// Called during a copy with the bytes copied so far and the total; false cancels the copy.
using CopyProgress = std::function<bool(uint64_t copied, uint64_t total)>;

// One per file pass: an adapter may keep lookup buffers for the pass's lifetime.
class UrlCache {
  public:
    virtual ~UrlCache() = default;
    // The cached copy of `address`, or nullopt when it is not cached or the lookup failed.
    virtual std::optional<CacheEntry> lookup(const std::string& address) = 0;
    // Copies `from` to `to`, which must not exist yet.
    virtual CopyOutcome copyToNew(const std::string& from, const std::string& to,
                                  const CopyProgress& progress) = 0;
};

// The browser's cache on Windows. Natively, the folder named by the environment variable
// VEXARO_URL_CACHE (a folder cache), or a cache that holds nothing when it is not set.
std::unique_ptr<UrlCache> platformUrlCache();

}  // namespace vx

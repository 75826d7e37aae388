#pragma once
// The browser's URL cache through WinINet, and the copy of a cached file into the save folder.

#include <windows.h>

#include <vector>

#include "download/url_cache.h"

namespace vx {

class WinInetUrlCache final : public UrlCache {
  public:
    static constexpr size_t kInitialBufferBytes = 4096;

    WinInetUrlCache();
    std::optional<CacheEntry> lookup(const std::string& address) override;
    // Creates the destination exclusively, then copies in chunks, asking `progress` after each.
    CopyOutcome copyToNew(const std::string& from, const std::string& to,
                          const CopyProgress& progress) override;

    size_t bufferBytes() const { return buffer_.size(); }

  private:
    std::vector<unsigned char> buffer_;  // one INTERNET_CACHE_ENTRY_INFOA and its texts
};

}  // namespace vx

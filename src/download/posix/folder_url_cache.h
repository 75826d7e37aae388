#pragma once
// A URL cache kept in a folder, for native builds: each cached address has its text in
// "<key>.url" and its bytes in "<key>.data", the key being a hash of the address.

#include <string>

#include "download/url_cache.h"

namespace vx {

class FolderUrlCache final : public UrlCache {
  public:
    explicit FolderUrlCache(std::string folder);

    // Keeps `bytes` as the cached copy of `address`, replacing an earlier copy.
    bool store(const std::string& address, const std::string& bytes);

    std::optional<CacheEntry> lookup(const std::string& address) override;
    CopyOutcome copyToNew(const std::string& from, const std::string& to,
                          const CopyProgress& progress) override;

  private:
    // The key under which `address` is or would be kept; hash collisions take the next suffix.
    std::string slotFor(const std::string& address, bool* present);

    std::string folder_;
};

}  // namespace vx

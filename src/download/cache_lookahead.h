#pragma once
// Looks the pass's addresses up in the URL cache on a thread of its own, a few addresses ahead
// of the pass, so that the lookup of the next file overlaps the transfer of this one. A lookup
// is dear under Wine (the cache index is mapped for every call) and costs as much as a small
// file's whole transfer.

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "download/job_model.h"
#include "download/url_cache.h"

namespace vx {

class CacheLookahead {
  public:
    // Starts the thread; throws std::system_error when no thread can be had. `media` must
    // outlive the lookahead. At most `ahead` results wait to be taken, so that no result is
    // much older than the file it is for.
    CacheLookahead(std::unique_ptr<UrlCache> cache, const MediaUrlList& media,
                   std::size_t ahead = 8);
    // Stops the thread after the lookup it is in, if any.
    ~CacheLookahead();
    CacheLookahead(const CacheLookahead&) = delete;
    CacheLookahead& operator=(const CacheLookahead&) = delete;

    // The lookup of media[index], waiting for it if need be. Indexes are taken in increasing
    // order; one skipped is never looked at again.
    std::optional<CacheEntry> take(std::size_t index);

  private:
    void run();

    std::unique_ptr<UrlCache> cache_;
    const MediaUrlList& media_;
    std::size_t ahead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<CacheEntry>> results_;
    std::size_t looked_ = 0;  // media[0, looked_) have their results
    std::size_t taken_ = 0;   // the pass has moved past media[0, taken_)
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vx

#include "download/cache_lookahead.h"

namespace vx {

CacheLookahead::CacheLookahead(std::unique_ptr<UrlCache> cache, const MediaUrlList& media,
                               std::size_t ahead)
    : cache_(std::move(cache)), media_(media), ahead_(ahead == 0 ? 1 : ahead) {
    results_.resize(media_.size());
    thread_ = std::thread([this] { run(); });
}

CacheLookahead::~CacheLookahead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

std::optional<CacheEntry> CacheLookahead::take(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (index >= results_.size())
        return std::nullopt;
    if (index > taken_) {
        // Skipped results are dropped, and the thread moves on past them.
        for (std::size_t i = taken_; i < std::min(index, looked_); ++i)
            results_[i].reset();
        taken_ = index;
        changed_.notify_all();
    }
    changed_.wait(lock, [&] { return looked_ > index || stopping_; });
    if (looked_ <= index)
        return std::nullopt;
    std::optional<CacheEntry> result = std::move(results_[index]);
    results_[index].reset();
    taken_ = index + 1;
    changed_.notify_all();
    return result;
}

void CacheLookahead::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_ && looked_ < media_.size()) {
        changed_.wait(lock, [&] { return stopping_ || looked_ < taken_ + ahead_; });
        if (stopping_)
            break;
        // A skipped address is not looked up.
        if (looked_ < taken_) {
            looked_ = taken_;
            changed_.notify_all();
            continue;
        }
        const std::size_t index = looked_;
        lock.unlock();
        std::optional<CacheEntry> found;
        try {
            found = cache_ ? cache_->lookup(media_[index]) : std::nullopt;
        } catch (...) {
            found.reset();  // a lookup that fails is a miss: the file comes over HTTP
        }
        lock.lock();
        results_[index] = std::move(found);
        looked_ = index + 1;
        changed_.notify_all();
    }
}

}  // namespace vx

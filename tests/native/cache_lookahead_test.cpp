#include "download/cache_lookahead.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>

namespace vx {
namespace {

// Every address ending in "c" is cached; records what was looked up and from which thread.
class ScriptedCache : public UrlCache {
  public:
    std::optional<CacheEntry> lookup(const std::string& address) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            looked.insert(address);
            onPassThread = onPassThread || std::this_thread::get_id() == passThread;
        }
        if (address.back() != 'c')
            return std::nullopt;
        return CacheEntry{"cache/" + address, address.size()};
    }
    CopyOutcome copyToNew(const std::string&, const std::string&, const CopyProgress&) override {
        return CopyOutcome::Failed;
    }
    std::mutex mutex;
    std::set<std::string> looked;
    std::thread::id passThread = std::this_thread::get_id();
    bool onPassThread = false;
};

TEST(CacheLookahead, GivesEachAddressItsOwnLookupFromAThreadOfItsOwn) {
    const MediaUrlList media = {"a", "bc", "d", "ec", "fc"};
    auto cache = std::make_unique<ScriptedCache>();
    ScriptedCache& seen = *cache;
    CacheLookahead lookahead(std::move(cache), media, 2);
    for (std::size_t i = 0; i < media.size(); ++i) {
        std::optional<CacheEntry> entry = lookahead.take(i);
        ASSERT_EQ(entry.has_value(), media[i].back() == 'c') << media[i];
        if (entry) {
            EXPECT_EQ(entry->localPath, "cache/" + media[i]);
        }
    }
    EXPECT_FALSE(lookahead.take(media.size()));
    EXPECT_EQ(seen.looked.size(), media.size());
    EXPECT_FALSE(seen.onPassThread);
}

TEST(CacheLookahead, StaysWithinItsReachAndNeverLooksUpWhatThePassSkipped) {
    MediaUrlList media;
    for (int i = 0; i < 10; ++i)
        media.push_back("m" + std::to_string(i) + "c");
    auto cache = std::make_unique<ScriptedCache>();
    ScriptedCache& seen = *cache;
    CacheLookahead lookahead(std::move(cache), media, 2);
    ASSERT_TRUE(lookahead.take(0));
    // At most two results wait beyond the one taken: m1 and m2.
    std::optional<CacheEntry> last = lookahead.take(9);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->localPath, "cache/m9c");
    std::lock_guard<std::mutex> lock(seen.mutex);
    for (int i = 3; i < 9; ++i)
        EXPECT_EQ(seen.looked.count("m" + std::to_string(i) + "c"), 0u) << i;
}

TEST(CacheLookahead, EndsAtOnceWhenThePassStopsEarly) {
    MediaUrlList media(1000, "xc");
    CacheLookahead lookahead(std::make_unique<ScriptedCache>(), media, 8);
    EXPECT_TRUE(lookahead.take(0));
    // The destructor joins a thread that waits for the pass: reaching the end is the check.
}

}  // namespace
}  // namespace vx

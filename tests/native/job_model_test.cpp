#include "download/job_model.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using vx::PageUrlList;

std::vector<std::string> listed(const PageUrlList& list) {
    return {list.begin(), list.end()};
}

TEST(PageUrlList, RepeatedAddressIsListedOnceInFirstPosition) {
    PageUrlList pages;
    EXPECT_TRUE(pages.appendPageUrl("http://a.example/1"));
    EXPECT_TRUE(pages.appendPageUrl("http://b.example/2"));
    EXPECT_FALSE(pages.appendPageUrl("http://a.example/1"));
    EXPECT_TRUE(pages.appendPageUrl("http://c.example/3"));
    EXPECT_EQ(listed(pages), (std::vector<std::string>{"http://a.example/1", "http://b.example/2",
                                                       "http://c.example/3"}));
}

TEST(PageUrlList, ComparisonIsExactAndCaseSensitive) {
    PageUrlList pages;
    EXPECT_TRUE(pages.appendPageUrl("http://A.example/Page"));
    EXPECT_TRUE(pages.appendPageUrl("http://a.example/page"));
    EXPECT_TRUE(pages.appendPageUrl("http://a.example/page/"));
    EXPECT_TRUE(pages.appendPageUrl("http://a.example/page "));
    EXPECT_EQ(pages.size(), 4u);
    EXPECT_TRUE(pages.contains("http://A.example/Page"));
    EXPECT_FALSE(pages.contains("HTTP://A.EXAMPLE/PAGE"));
}

TEST(PageUrlList, ClearForgetsEntriesSoTheNextSessionCanListThemAgain) {
    PageUrlList pages;
    pages.appendPageUrl("http://a.example/");
    pages.clear();
    EXPECT_TRUE(pages.empty());
    EXPECT_FALSE(pages.contains("http://a.example/"));
    EXPECT_TRUE(pages.appendPageUrl("http://a.example/"));
    EXPECT_EQ(pages.size(), 1u);
}

TEST(WorkerAddress, LongestAcceptedAddressFillsTheBufferAndLongerOnesAreSkipped) {
    const std::string prefix = "http://h.example/";
    std::string fits = prefix + std::string(519 - prefix.size(), 'x');
    std::string tooLong = fits + "y";
    ASSERT_EQ(fits.size(), 519u);

    EXPECT_TRUE(vx::fitsAddressBuffer(fits));
    ASSERT_TRUE(vx::workerAddress(fits).has_value());
    EXPECT_EQ(*vx::workerAddress(fits), fits);

    EXPECT_FALSE(vx::fitsAddressBuffer(tooLong));
    EXPECT_FALSE(vx::workerAddress(tooLong).has_value());
    EXPECT_FALSE(vx::workerAddress(std::string(5000, 'z')).has_value());
    EXPECT_EQ(vx::workerAddress(""), std::optional<std::string>(""));
}

TEST(SharedProgressTexts, ReaderNeverSeesHalfOfAnUpdate) {
    vx::SharedProgressTexts shared;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            std::string n = std::to_string(i);
            shared.set({"C:\\cache\\" + n, "file" + n, n + " Bytes", n + "% Complete"});
        }
        done = true;
    });
    int mixed = 0;
    while (!done.load()) {
        vx::ProgressTexts t = shared.snapshot();
        if (t.source.empty())
            continue;
        std::string n = t.source.substr(9);
        if (t.file != "file" + n || t.size != n + " Bytes" || t.percent != n + "% Complete")
            ++mixed;
    }
    worker.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(shared.snapshot(),
              (vx::ProgressTexts{"C:\\cache\\1999", "file1999", "1999 Bytes", "1999% Complete"}));
}

}  // namespace

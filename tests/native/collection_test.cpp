// Enumeration of browser windows, matching against the page list and collection of page media,
// over an in-memory browser.

#include "download/collection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "history/history_store.h"
#include "settings/download_settings.h"
#include "support/fake_browser.h"
#include "support/memory_file_system.h"

namespace {

using vx::test::FakeBrowser;
using vx::test::FakeDocument;
using vx::test::FakeWindow;
using vx::test::img;

vx::PageUrlList pages(std::initializer_list<const char*> addresses) {
    vx::PageUrlList list;
    for (const char* a : addresses)
        list.appendPageUrl(a);
    return list;
}

vx::DownloadSettings imagesOnly() {
    vx::DownloadSettings settings;
    settings.typeImages = 1;
    settings.typeMp3 = 0;
    settings.typeFlash = 0;
    return settings;
}

vx::DownloadSettings linksOnly(int32_t mp3, int32_t flash) {
    vx::DownloadSettings settings;
    settings.typeImages = 0;
    settings.typeMp3 = mp3;
    settings.typeFlash = flash;
    return settings;
}

TEST(EnumerateBrowserWindows, VisitsHtmlPagesInIndexOrderAndPassesOverOthers) {
    FakeBrowser browser;
    browser.add("http://a/1.html", "One");
    browser.add(std::nullopt, "C:\\");  // a folder window
    browser.add("http://a/2.html", "");
    browser.add("about:blank", "Blank");

    const auto entries = vx::listBrowserWindows(browser);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].title, "One");
    EXPECT_EQ(entries[0].address, "http://a/1.html");
    EXPECT_EQ(entries[1].title, "");
    EXPECT_EQ(entries[1].address, "http://a/2.html");
    EXPECT_EQ(entries[2].address, "about:blank");
    EXPECT_EQ(browser.pagesAsked, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(EnumerateBrowserWindows, NoWindowsGiveNoEntries) {
    FakeBrowser browser;
    EXPECT_TRUE(vx::listBrowserWindows(browser).empty());
    vx::PageUrlList list;
    vx::appendOpenPages(browser, list);
    EXPECT_TRUE(list.empty());
}

TEST(EnumerateBrowserWindows, StopsBeforeTheNextWindowOnceNotRunning) {
    FakeBrowser browser;
    browser.add("http://a/1.html");
    browser.add("http://a/2.html");
    browser.add("http://a/3.html");
    std::atomic<int32_t> running{1};
    std::vector<std::string> seen;
    vx::enumerateBrowserWindows(
        browser,
        [&](vx::BrowserPage& page) {
            seen.push_back(page.address);
            if (seen.size() == 2)
                running = 0;
        },
        &running);
    EXPECT_EQ(seen, (std::vector<std::string>{"http://a/1.html", "http://a/2.html"}));
    EXPECT_EQ(browser.pagesAsked, (std::vector<int32_t>{0, 1}));

    running = 0;
    browser.pagesAsked.clear();
    vx::enumerateBrowserWindows(
        browser, [&](vx::BrowserPage&) { FAIL(); }, &running);
    EXPECT_TRUE(browser.pagesAsked.empty());
}

TEST(EnumerateBrowserWindows, AllWindowsPageListHoldsEachAddressOnce) {
    FakeBrowser browser;
    browser.add("http://a/x.html");
    browser.add("http://a/X.html");
    browser.add(std::nullopt);
    browser.add("http://a/x.html");
    browser.add("about:blank");
    vx::PageUrlList list = pages({"http://a/first.html"});
    vx::appendOpenPages(browser, list);
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"http://a/first.html", "http://a/x.html",
                                                        "http://a/X.html", "about:blank"}));
}

TEST(MatchesPageList, ExactAddressOrWithoutItsTrailingSlash) {
    struct Case {
        std::vector<const char*> entries;
        const char* windowAddress;
        bool matches;
    };
    const Case cases[] = {
        {{"http://a/p.html"}, "http://a/p.html", true},
        {{"http://a/p.html"}, "http://a/P.html", false},
        {{"http://a/dir"}, "http://a/dir/", true},
        {{"http://a/dir/"}, "http://a/dir", false},
        {{"http://a/dir/"}, "http://a/dir/", true},
        {{"http://a/dir"}, "http://a/dir//", false},
        {{"http://a/dir/"}, "http://a/dir//", true},
        {{"http://a/other", "http://a/dir"}, "http://a/dir/", true},
        {{}, "http://a/p.html", false},
        // An empty entry matches only an empty address (or "/"), never every window.
        {{""}, "http://a/p.html", false},
        {{""}, "", true},
        {{""}, "/", true},
    };
    for (const Case& c : cases) {
        vx::PageUrlList list;
        for (const char* e : c.entries)
            list.appendPageUrl(e);
        EXPECT_EQ(vx::matchesPageList(list, c.windowAddress), c.matches)
            << "window " << c.windowAddress;
    }
}

TEST(CollectPageMedia, ImagesThenWantedLinksInPageOrderRepeatsKept) {
    FakeBrowser browser;
    FakeWindow& w = browser.add("http://a/p.html");
    w.images = {img("http://a/1.jpg"), img("http://a/2.gif"), img("http://a/1.jpg")};
    w.links = {"http://a/song.mp3", "http://a/page.html", "http://a/movie.swf"};
    vx::DownloadSettings settings = imagesOnly();
    settings.typeMp3 = 1;
    settings.typeFlash = 1;
    std::atomic<int32_t> running{1};
    vx::MediaUrlList media;
    FakeDocument document(w);
    vx::collectPageMedia(document, settings, running, media, nullptr);
    EXPECT_EQ(media, (vx::MediaUrlList{"http://a/1.jpg", "http://a/2.gif", "http://a/1.jpg",
                                       "http://a/song.mp3", "http://a/movie.swf"}));
}

TEST(CollectPageMedia, LinkTypeIsTheLastFourCharactersInAnyCase) {
    FakeWindow w;
    w.images = {img("http://a/1.jpg")};
    w.links = {"http://a/a.mp3", "http://a/B.MP3",        "http://a/c.Mp3", "http://a/d.mp3?x=1",
               "http://a/e.swf", "http://a/f.mp3/",       ".mp3",           "a.mp3",
               "http://a/g.mp4", std::nullopt /* area */, "http://a/h.SWF"};
    FakeDocument document(w);
    std::atomic<int32_t> running{1};

    vx::MediaUrlList mp3;
    vx::collectPageMedia(document, linksOnly(1, 0), running, mp3, nullptr);
    EXPECT_EQ(mp3,
              (vx::MediaUrlList{"http://a/a.mp3", "http://a/B.MP3", "http://a/c.Mp3", "a.mp3"}));
    EXPECT_EQ(w.imageCollectionReads, 0) << "images are not read when not wanted";

    vx::MediaUrlList flash;
    vx::collectPageMedia(document, linksOnly(0, 1), running, flash, nullptr);
    EXPECT_EQ(flash, (vx::MediaUrlList{"http://a/e.swf", "http://a/h.SWF"}));

    vx::MediaUrlList none;
    const int linkReads = w.linkCollectionReads;
    vx::collectPageMedia(document, linksOnly(0, 0), running, none, nullptr);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(w.linkCollectionReads, linkReads) << "links are not read when no type wants them";
}

TEST(CollectPageMedia, ImagesAreTakenWhateverTheirAddressButNeverEmptyOrUnreadable) {
    FakeWindow w;
    w.images = {img("http://a/x.php?id=3"), img(""), std::nullopt, img("data:image/gif;base64,R0")};
    FakeDocument document(w);
    std::atomic<int32_t> running{1};
    vx::MediaUrlList media;
    vx::collectPageMedia(document, imagesOnly(), running, media, nullptr);
    EXPECT_EQ(media, (vx::MediaUrlList{"http://a/x.php?id=3", "data:image/gif;base64,R0"}));
}

TEST(CollectPageMedia, ResolutionFilterUsesTheLaidOutSizeExactly) {
    FakeWindow w;
    w.images = {img("http://a/ad.gif", 800, 600), img("http://a/tall.gif", 800, 601),
                img("http://a/turned.gif", 600, 800), img("http://a/banner.gif", 468, 60)};
    FakeDocument document(w);
    std::atomic<int32_t> running{1};

    vx::DownloadSettings settings = imagesOnly();
    settings.limitResolution = 1;
    settings.resolutions = {vx::ResolutionCap{800, 600}, vx::ResolutionCap{468, 60}};
    vx::MediaUrlList media;
    vx::collectPageMedia(document, settings, running, media, nullptr);
    EXPECT_EQ(media, (vx::MediaUrlList{"http://a/tall.gif", "http://a/turned.gif"}));

    settings.limitResolution = 0;
    media.clear();
    vx::collectPageMedia(document, settings, running, media, nullptr);
    EXPECT_EQ(media.size(), 4u) << "the list does nothing while the filter is off";

    settings.limitResolution = 1;
    settings.resolutions.clear();
    media.clear();
    vx::collectPageMedia(document, settings, running, media, nullptr);
    EXPECT_EQ(media.size(), 4u) << "an empty list excludes nothing";
}

TEST(CollectPageMedia, StopsBeforeTheNextElementOnceNotRunning) {
    FakeWindow w;
    w.images = {img("http://a/1.jpg"), img("http://a/2.jpg"), img("http://a/3.jpg")};
    w.links = {"http://a/1.mp3"};
    std::atomic<int32_t> running{1};
    w.afterElement = [&running](int32_t index) {
        if (index == 1)
            running = 0;
    };
    vx::DownloadSettings settings = imagesOnly();
    settings.typeMp3 = 1;
    FakeDocument document(w);
    vx::MediaUrlList media;
    vx::collectPageMedia(document, settings, running, media, nullptr);
    EXPECT_EQ(media, (vx::MediaUrlList{"http://a/1.jpg", "http://a/2.jpg"}));
    EXPECT_EQ(w.elementsRead, (std::vector<int32_t>{0, 1}));
}

TEST(CollectPageMedia, AddressesLongerThanTheWorkerBufferArePassedOver) {
    const std::string base = "http://a/";
    const std::string fits =
        base + std::string(vx::kMaxWorkerAddressLength - base.size() - 4, 'x') + ".mp3";
    const std::string tooLong =
        base + std::string(vx::kMaxWorkerAddressLength - base.size() - 3, 'x') + ".mp3";
    ASSERT_EQ(fits.size(), vx::kMaxWorkerAddressLength);
    ASSERT_EQ(tooLong.size(), vx::kMaxWorkerAddressLength + 1);
    FakeWindow w;
    w.images = {img(tooLong), img(fits)};
    w.links = {tooLong, fits};
    FakeDocument document(w);
    vx::DownloadSettings settings = imagesOnly();
    settings.typeMp3 = 1;
    std::atomic<int32_t> running{1};
    vx::MediaUrlList media;
    vx::collectPageMedia(document, settings, running, media, nullptr);
    EXPECT_EQ(media, (vx::MediaUrlList{fits, fits}));
}

TEST(CollectPageMedia, RecordGetsOneUndownloadedItemPerAddressKept) {
    FakeWindow w;
    w.images = {img("http://a/1.jpg"), img(""), img("http://a/1.jpg")};
    w.links = {"http://a/s.mp3", "http://a/x.html"};
    FakeDocument document(w);
    vx::DownloadSettings settings = imagesOnly();
    settings.typeMp3 = 1;
    std::atomic<int32_t> running{1};
    vx::MediaUrlList media;
    vx::HistoryRecord record;
    vx::collectPageMedia(document, settings, running, media, &record);
    ASSERT_EQ(record.items.size(), 3u);
    for (size_t i = 0; i < record.items.size(); ++i) {
        EXPECT_EQ(record.items[i].address.str(), media[i]);
        EXPECT_EQ(record.items[i].downloaded, 0);
        EXPECT_TRUE(record.items[i].localPath.empty());
    }
}

class CollectSessionMedia : public ::testing::Test {
  protected:
    vx::test::FakeInstall install_;
    vx::CHistoryStore history_{install_, vx::platformFileSystem()};
    std::atomic<int32_t> running_{1};
    vx::MediaUrlList media_;
    vx::DownloadSettings settings_ = imagesOnly();
};

TEST_F(CollectSessionMedia, CollectsMatchingPagesInWindowOrder) {
    FakeBrowser browser;
    browser.add("http://a/one.html").images = {img("http://a/1.jpg")};
    browser.add("http://a/other.html").images = {img("http://a/other.jpg")};
    browser.add(std::nullopt);
    browser.add("http://a/dir/").images = {img("http://a/dir.jpg")};
    const auto list = pages({"http://a/dir", "http://a/one.html", "http://a/missing.html"});
    vx::collectSessionMedia(browser, list, settings_, running_, media_, nullptr);
    EXPECT_EQ(media_, (vx::MediaUrlList{"http://a/1.jpg", "http://a/dir.jpg"}));
    EXPECT_EQ(browser.windows[1].imageCollectionReads, 0) << "an unlisted page is not read";
}

TEST_F(CollectSessionMedia, SamePageInTwoWindowsIsCollectedTwice) {
    FakeBrowser browser;
    browser.add("http://a/p.html").images = {img("http://a/1.jpg")};
    browser.add("http://a/p.html").images = {img("http://a/1.jpg")};
    vx::collectSessionMedia(browser, pages({"http://a/p.html"}), settings_, running_, media_,
                            &history_);
    EXPECT_EQ(media_, (vx::MediaUrlList{"http://a/1.jpg", "http://a/1.jpg"}));
    ASSERT_EQ(history_.records().size(), 1u);
    EXPECT_EQ(history_.records()[0].items.size(), 2u);
}

TEST_F(CollectSessionMedia, HistoryKeepsOnlyPagesThatGaveMediaUnderTheirAddressAsRead) {
    FakeBrowser browser;
    browser.add("http://a/dir/").images = {img("http://a/1.jpg")};
    browser.add("http://a/empty.html");
    browser.add("http://a/links.html").links = {"http://a/s.mp3"};
    settings_.typeMp3 = 1;
    vx::collectSessionMedia(browser,
                            pages({"http://a/dir", "http://a/empty.html", "http://a/links.html"}),
                            settings_, running_, media_, &history_);
    ASSERT_EQ(history_.records().size(), 2u);
    EXPECT_EQ(history_.records()[0].pageAddress.str(), "http://a/dir/");
    ASSERT_EQ(history_.records()[0].items.size(), 1u);
    EXPECT_EQ(history_.records()[0].items[0].address.str(), "http://a/1.jpg");
    EXPECT_EQ(history_.records()[1].pageAddress.str(), "http://a/links.html");
    EXPECT_EQ(history_.records()[1].items[0].address.str(), "http://a/s.mp3");
}

TEST_F(CollectSessionMedia, NothingOpenOrNothingListedGivesNoMedia) {
    FakeBrowser empty;
    vx::collectSessionMedia(empty, pages({"http://a/p.html"}), settings_, running_, media_,
                            &history_);
    EXPECT_TRUE(media_.empty());

    FakeBrowser browser;
    browser.add("http://a/p.html").images = {img("http://a/1.jpg")};
    vx::collectSessionMedia(browser, vx::PageUrlList{}, settings_, running_, media_, &history_);
    EXPECT_TRUE(media_.empty());
    EXPECT_TRUE(history_.records().empty());
}

TEST_F(CollectSessionMedia, AWindowAddressTooLongForTheWorkerNeverMatches) {
    const std::string longPage = "http://a/" + std::string(600, 'p');
    FakeBrowser browser;
    browser.add(longPage).images = {img("http://a/1.jpg")};
    vx::PageUrlList list;
    list.appendPageUrl(longPage);
    list.appendPageUrl(longPage.substr(0, vx::kMaxWorkerAddressLength));
    vx::collectSessionMedia(browser, list, settings_, running_, media_, &history_);
    EXPECT_TRUE(media_.empty());
}

TEST_F(CollectSessionMedia, StopsBetweenWindowsOnceNotRunning) {
    FakeBrowser browser;
    FakeWindow& first = browser.add("http://a/1.html");
    first.images = {img("http://a/1.jpg")};
    first.afterElement = [this](int32_t) { running_ = 0; };
    browser.add("http://a/2.html").images = {img("http://a/2.jpg")};
    vx::collectSessionMedia(browser, pages({"http://a/1.html", "http://a/2.html"}), settings_,
                            running_, media_, &history_);
    EXPECT_EQ(media_, (vx::MediaUrlList{"http://a/1.jpg"}));
    EXPECT_EQ(browser.pagesAsked, (std::vector<int32_t>{0}));
    ASSERT_EQ(history_.records().size(), 1u) << "the page collected so far is still recorded";
}

}  // namespace

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "download_fixture.h"
#include "resources/resource.h"
#include "support/http_test_util.h"

namespace vx {
namespace {

using test::FilePassFixture;

class FilePassRun : public FilePassFixture {};

TEST_F(FilePassRun, EndsTheSessionInTheDownloadWindow) {
    server.route("/a.jpg", test::okResponse("aaaa"));
    run({server.url("/a.jpg")});
    EXPECT_EQ(sink.captions,
              (std::vector<std::string>{"Download files now...", "Download complete!"}));
    EXPECT_EQ(sink.buttonTexts, std::vector<std::string>{"OK"});
    // The download window never shows "&Cancel Current" again; it is hidden at the end.
    EXPECT_EQ(sink.cancelCurrent, std::vector<bool>{false});
    EXPECT_EQ(flags.running.load(), 0);
    EXPECT_EQ(flags.stopRequested.load(), 1);
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(FilePassRun, EndsTheSessionInTheMainWindowAndSavesTheHistory) {
    server.route("/a.jpg", test::okResponse("aaaa"));
    recordPage("http://page/", {server.url("/a.jpg")});
    run({server.url("/a.jpg")}, SessionHost::MainWindow);
    EXPECT_EQ(sink.cancelCurrent, (std::vector<bool>{true, false}));
    EXPECT_EQ(flags.running.load(), 0);
    EXPECT_EQ(flags.stopRequested.load(), 0);
    // The day file holds the record with the saved file.
    std::vector<FolderEntry> days = platformFileSystem().listFolder(history.historyFolder());
    ASSERT_EQ(days.size(), 1u);
    std::string day =
        *platformFileSystem().readFile(joinPath(history.historyFolder(), days[0].name));
    EXPECT_NE(day.find(saveFolder.file("a.jpg")), std::string::npos);
}

TEST_F(FilePassRun, AHistoryThatCannotBeSavedIsCountedAndTheFileStays) {
    // A file where the history folder belongs: no day file can be written.
    ASSERT_TRUE(platformFileSystem().writeFile(history.historyFolder(), "not a folder"));
    server.route("/a.jpg", test::okResponse("aaaa"));
    recordPage("http://page/", {server.url("/a.jpg")});
    FilePass::Counts counts = run({server.url("/a.jpg")}, SessionHost::MainWindow);
    EXPECT_EQ(counts.downloaded, 1);
    EXPECT_EQ(counts.historyNotSaved, 1u);
    EXPECT_TRUE(platformFileSystem().exists(saveFolder.file("a.jpg")));
}

TEST_F(FilePassRun, AMissingSaveFolderIsReportedThenThePassGoesOnWithTheNewFolder) {
    std::string missing = saveFolder.file("not-there");
    settings.saveFolder = missing;
    test::ScratchFolder chosen("vx-chosen");
    sink.onSheet = [&] { settings.saveFolder = chosen.path(); };
    server.route("/a.jpg", test::okResponse("aaaa"));
    run({server.url("/a.jpg")});
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].first, IDS_FOLDER_NOT_EXIST);
    EXPECT_EQ(
        sink.messages[0].second,
        "Folder " + missing + " does not exist.\nPlease specify a valid folder and try again.");
    EXPECT_EQ(sink.sheets, 1);
    EXPECT_EQ(chosen.read("a.jpg"), "aaaa");
}

TEST_F(FilePassRun, AnEmptySaveFolderIsReportedAndFilesLandInTheCurrentFolder) {
    settings.saveFolder = "";
    ASSERT_EQ(chdir(saveFolder.path().c_str()), 0);
    server.route("/rel.jpg", test::okResponse("rel"));
    run({server.url("/rel.jpg")});
    ASSERT_EQ(sink.messages.size(), 1u);
    EXPECT_EQ(sink.messages[0].second,
              "Folder  does not exist.\nPlease specify a valid folder and try again.");
    EXPECT_EQ(saveFolder.read("rel.jpg"), "rel");
}

TEST_F(FilePassRun, ARelativeSaveFolderIsResolvedOnceOnBothHosts) {
    for (SessionHost host : {SessionHost::DownloadWindow, SessionHost::MainWindow}) {
        test::ScratchFolder base("vx-base");
        ASSERT_EQ(chdir(base.path().c_str()), 0);
        ASSERT_TRUE(std::filesystem::create_directory(base.file("Download")));
        settings.saveFolder = "Download";
        server.route("/r.jpg", test::okResponse("rrr"));
        std::string fromCache = cached(server.url("/c/q.png") + std::to_string(int(host)), "qq");
        history.Clear();
        recordPage("http://page/", {server.url("/r.jpg"), fromCache});
        FilePass::Counts counts = run({server.url("/r.jpg"), fromCache}, host);
        EXPECT_EQ(counts.downloaded + counts.copied, 2);
        EXPECT_EQ(base.read(joinPath("Download", "r.jpg")), "rrr");
        EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(base.file("Download")));
        EXPECT_TRUE(sink.messages.empty());
        if (host == SessionHost::MainWindow) {
            EXPECT_EQ(historyItem(0).localPath.str(), joinPath(base.file("Download"), "r.jpg"));
            EXPECT_EQ(historyItem(1).localPath.str(),
                      joinPath(base.file("Download"), "q.png" + std::to_string(int(host))));
        }
        // The stored text stays as the user wrote it.
        EXPECT_EQ(settings.saveFolder.str(), "Download");
        ASSERT_EQ(chdir(startFolder.c_str()), 0);
    }
}

TEST_F(FilePassRun, BothRoadsNameAnAddressWithABackslashAlike) {
    server.route("/dir/pic.jpg", test::okResponse("picture"));
    std::string address = server.url("/dir") + "\\pic.jpg";
    EXPECT_EQ(run({address}).downloaded, 1);
    // The same file, now in the browser's cache, is the one already saved.
    cached(address, "picture");
    FilePass::Counts second = run({address});
    EXPECT_EQ(second.duplicates, 1);
    EXPECT_EQ(saveFolder.count(), 1u);
    EXPECT_EQ(saveFolder.read("pic.jpg"), "picture");
}

// A client that fails the way a thread or memory shortage does: by throwing.
class ThrowingClient : public HttpClient {
  public:
    HttpOpenResult open(const std::string&, const AbortCheck&) override {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
};

TEST_F(FilePassRun, AFailureInsideOneAddressPassesItOverAndStillEndsTheSession) {
    std::string one = cached(server.url("/c/after.jpg"), "after");
    recordPage("http://page/", {server.url("/net.jpg"), one});
    auto pass = std::make_unique<FilePass>(
        SessionHost::MainWindow, settingsOf(settings), flags, &history, [&] {
            FilePassPorts p = ports();
            p.openInternet = [] { return std::make_unique<ThrowingClient>(); };
            return p;
        }());
    flags.running = 1;
    pass->run({server.url("/net.jpg"), one});
    EXPECT_EQ(pass->counts().passedOver, 1);
    EXPECT_EQ(pass->counts().copied, 1);
    EXPECT_EQ(sink.captions.back(), "Download complete!");
    EXPECT_EQ(flags.running.load(), 0);
    // The page already saved is in the day file.
    std::vector<FolderEntry> days = platformFileSystem().listFolder(history.historyFolder());
    ASSERT_EQ(days.size(), 1u);
    EXPECT_NE(platformFileSystem()
                  .readFile(joinPath(history.historyFolder(), days[0].name))
                  ->find(saveFolder.file("after.jpg")),
              std::string::npos);
}

TEST_F(FilePassRun, WithinTheRefreshIntervalOnlyTheStartAndTheEndOfAFileAreShown) {
    server.route("/big.bin", test::okResponse(std::string(300000, 'b')));
    std::string fromCache = cached(server.url("/c/big.png"), std::string(300000, 'c'));
    FilePassOptions options;
    options.readChunkBytes = 4096;
    options.refreshInterval = std::chrono::hours(1);
    flags.running = 1;
    makePass(SessionHost::DownloadWindow, options)->run({server.url("/big.bin"), fromCache});
    EXPECT_EQ(sink.positions, (std::vector<uint64_t>{0, 300000, 0, 300000}));
    ASSERT_EQ(sink.texts.size(), 4u);
    EXPECT_EQ(sink.texts[1].percent, "100% Complete");
    EXPECT_EQ(sink.texts[3].percent, "100% Complete");
    EXPECT_EQ(saveFolder.read("big.png"), std::string(300000, 'c'));
}

TEST_F(FilePassRun, TheSaveFolderBecomesTheCurrentFolder) {
    run({});
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(saveFolder.path()));
}

TEST_F(FilePassRun, TheSameFileTwiceIsSavedOnceAndASecondSessionSavesNothing) {
    server.route("/img/x.gif", test::okResponse("gif89"));
    std::string cachedOne = cached(server.url("/c/y.png"), "png!");
    MediaUrlList media = {server.url("/img/x.gif"), cachedOne, server.url("/img/x.gif"), cachedOne};
    FilePass::Counts first = run(media);
    EXPECT_EQ(first.downloaded, 1);
    EXPECT_EQ(first.copied, 1);
    EXPECT_EQ(first.duplicates, 2);
    FilePass::Counts second = run(media);
    EXPECT_EQ(second.downloaded + second.copied, 0);
    EXPECT_EQ(second.duplicates, 4);
    EXPECT_EQ(saveFolder.count(), 2u);
}

TEST_F(FilePassRun, ADifferentFileOfTheSameNameIsNumbered) {
    server.route("/a/photo.jpg", test::okResponse("first"));
    server.route("/b/photo.jpg", test::okResponse("second!"));
    server.route("/c/photo.jpg", test::okResponse("third"));
    run({server.url("/a/photo.jpg"), server.url("/b/photo.jpg"), server.url("/c/photo.jpg")});
    EXPECT_EQ(saveFolder.read("photo.jpg"), "first");
    EXPECT_EQ(saveFolder.read("photo1.jpg"), "second!");
    // Same name and same size as a saved file: taken for the same file.
    EXPECT_FALSE(saveFolder.has("photo2.jpg"));
}

TEST_F(FilePassRun, StopRequestedLetsTheCurrentFileFinishThenStops) {
    server.route("/1.jpg", test::okResponse(std::string(100000, '1')));
    server.route("/2.jpg", test::okResponse("2"));
    // "Cancel &All" in the download window while the first file is under way.
    sink.onPosition = [&](uint64_t position) {
        if (position > 0)
            flags.stopRequested = 1;
    };
    run({server.url("/1.jpg"), server.url("/2.jpg")});
    EXPECT_EQ(saveFolder.read("1.jpg").size(), 100000u);
    EXPECT_EQ(server.requestCount("/2.jpg"), 0);
    EXPECT_EQ(sink.captions.back(), "Download complete!");
}

TEST_F(FilePassRun, NothingIsLookedUpOnceTheSessionStopped) {
    flags.running = 0;
    auto pass = makePass();
    pass->run({cached(server.url("/x.jpg"), "x"), server.url("/y.jpg")});
    EXPECT_EQ(lookups, 0);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(sink.captions.back(), "Download complete!");
}

TEST_F(FilePassRun, WithoutAnInternetSessionUncachedFilesFailSilently) {
    std::string one = cached(server.url("/c.jpg"), "cached");
    auto pass = std::make_unique<FilePass>(SessionHost::DownloadWindow, settingsOf(settings), flags,
                                           nullptr, [&] {
                                               FilePassPorts p = ports();
                                               p.openInternet = [] { return nullptr; };
                                               return p;
                                           }());
    flags.running = 1;
    pass->run({server.url("/net.jpg"), one});
    EXPECT_EQ(pass->counts().copied, 1);
    EXPECT_EQ(pass->counts().passedOver, 1);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(FilePassRun, ContinueCurrentIsSetBeforeEachTransfer) {
    server.route("/a.jpg", test::okResponse("a"));
    server.route("/b.jpg", test::okResponse("b"));
    // "&Cancel Current" pressed between two files must not cancel the next one.
    sink.onTexts = [&](const ProgressTexts& t) {
        if (t.file == "/a.jpg" && t.percent == "100% Complete")
            flags.continueCurrent = 0;
    };
    run({server.url("/a.jpg"), server.url("/b.jpg")});
    EXPECT_EQ(saveFolder.read("b.jpg"), "b");
}

TEST_F(FilePassRun, AnyReadSizeGivesTheSameFiles) {
    std::string bytes(300001, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 31);
    server.route("/big.bin", test::okResponse(bytes));
    server.route("/small.bin", test::okResponse(bytes.substr(0, 5000)));
    for (std::size_t chunk : {1, 4096, 65536}) {
        test::ScratchFolder folder("vx-chunks");
        settings.saveFolder = folder.path();
        FilePassOptions options;
        options.readChunkBytes = chunk;
        flags.running = 1;
        flags.continueCurrent = 1;
        flags.stopRequested = 0;
        auto pass = makePass(SessionHost::DownloadWindow, options);
        // A large body then a small one: the body buffer is used again for the second.
        pass->run({server.url("/big.bin"), server.url("/small.bin")});
        EXPECT_TRUE(folder.read("big.bin") == bytes) << chunk;
        EXPECT_TRUE(folder.read("small.bin") == bytes.substr(0, 5000)) << chunk;
        ASSERT_EQ(chdir(startFolder.c_str()), 0);
    }
}

std::string pattern(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i * 7 % 251);
    return bytes;
}

TEST(PercentText, IntegerPercentAndAFullBarForNothing) {
    EXPECT_EQ(percentText(0, 0), "100% Complete");
    EXPECT_EQ(percentText(0, 200), "0% Complete");
    EXPECT_EQ(percentText(199, 200), "99% Complete");
    EXPECT_EQ(percentText(200, 200), "100% Complete");
    // Past 21 MB the product of position and 100 no longer fits 32 bits.
    EXPECT_EQ(percentText(3000000000ull, 4000000000ull), "75% Complete");
    EXPECT_EQ(percentText(UINT64_MAX / 2, UINT64_MAX), "49% Complete");
    EXPECT_EQ(percentText(UINT64_MAX - 1, UINT64_MAX), "99% Complete");
    EXPECT_EQ(percentText(5, 0), "100% Complete");
    EXPECT_EQ(percentText(11, 10), "100% Complete") << "surplus bytes never pass 100";
}

TEST(CopyDecision, ContinuesOnlyWhileRunningAndNotCancelled) {
    SessionFlags flags;
    for (int running : {0, 1})
        for (int current : {0, 1}) {
            flags.running = running;
            flags.continueCurrent = current;
            EXPECT_EQ(copyMayContinue(flags), running == 1 && current == 1);
        }
}

class CacheRoad : public FilePassFixture {};

TEST_F(CacheRoad, ACachedFileIsCopiedWithoutAnyRequest) {
    std::string bytes = pattern(300000, 'a');
    std::string address = cached(server.url("/img/photo.jpg"), bytes);
    FilePass::Counts counts = run({address});
    EXPECT_EQ(counts.copied, 1);
    EXPECT_EQ(saveFolder.read("photo.jpg"), bytes);
    EXPECT_TRUE(server.requests().empty());
    ASSERT_FALSE(sink.texts.empty());
    test::RecordingSink& s = sink;
    EXPECT_EQ(s.texts.front().source, cache.lookup(address)->localPath);
    EXPECT_EQ(s.texts.front().file, "photo.jpg");
    EXPECT_EQ(s.texts.front().size, "300000 Bytes");
    EXPECT_EQ(s.texts.front().percent, "0% Complete");
    EXPECT_EQ(s.texts.back().percent, "100% Complete");
    EXPECT_EQ(s.ranges, std::vector<uint64_t>{300000});
    EXPECT_EQ(s.positions.back(), 300000u);
}

TEST_F(CacheRoad, AFilteredCacheEntryShowsFilteredAndIsNotCopied) {
    settings.limitFileSize = 1;  // lower bound 250 KB
    std::string address = cached(server.url("/small.gif"), "tiny");
    FilePass::Counts counts = run({address});
    EXPECT_EQ(counts.filtered, 1);
    EXPECT_EQ(saveFolder.count(), 0u);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0].file, "Filtered.");
    EXPECT_EQ(sink.texts[0].size, "0 Bytes");
    EXPECT_EQ(sink.texts[0].percent, "100% Complete");
    EXPECT_EQ(sink.positions, std::vector<uint64_t>{0});
}

TEST_F(CacheRoad, CancelCurrentStopsTheCopyAndTheNextFileIsCopied) {
    std::string first = cached(server.url("/a/one.jpg"), pattern(1 << 20, 'x'));
    std::string second = cached(server.url("/a/two.jpg"), pattern(1000, 'y'));
    // The user presses "&Cancel Current" as soon as the first copy shows progress.
    sink.onPosition = [&](uint64_t position) {
        if (position > 0 && sink.files().back() == "one.jpg")
            flags.continueCurrent = 0;
    };
    FilePass::Counts counts = run({first, second});
    EXPECT_EQ(counts.copied, 1);
    EXPECT_FALSE(saveFolder.has("one.jpg"));
    EXPECT_EQ(saveFolder.read("two.jpg"), pattern(1000, 'y'));
}

TEST_F(CacheRoad, ASameSizeFileIsNotCopiedOrRecorded) {
    std::string address = cached(server.url("/p.png"), "12345");
    saveFolder.put("p.png", 5, 'z');
    recordPage("http://page/", {address});
    FilePass::Counts counts = run({address}, SessionHost::MainWindow);
    EXPECT_EQ(counts.duplicates, 1);
    EXPECT_EQ(saveFolder.read("p.png"), "zzzzz");
    EXPECT_EQ(historyItem(0).downloaded, 0);
}

TEST_F(CacheRoad, AFailedCopyIsNotRecorded) {
    std::string address = cached(server.url("/gone.jpg"), "abc");
    recordPage("http://page/", {address});
    // The cached copy disappears between lookup and copy.
    CacheEntry entry = *cache.lookup(address);
    ASSERT_EQ(std::remove(entry.localPath.c_str()), 0);
    auto pass = makePass(SessionHost::MainWindow);
    pass->open();
    pass->fetchFromCache(address, entry);
    EXPECT_EQ(pass->counts().passedOver, 1);
    EXPECT_FALSE(saveFolder.has("gone.jpg"));
    EXPECT_EQ(historyItem(0).downloaded, 0);
}

class HttpRoad : public FilePassFixture {
  protected:
    // Every answer arrives within these limits however loaded the machine; a test of a transfer
    // that ends early shortens the one limit it needs.
    HttpRoad() { limits = test::generousHttpLimits(); }

    // One uncached address through a whole pass.
    FilePass::Counts fetch(const std::string& target) { return run({server.url(target)}); }
};

TEST_F(HttpRoad, AnUncachedFileIsDownloadedAndSaved) {
    std::string bytes = pattern(50000, 'h');
    server.route("/media/song.mp3", test::okResponse(bytes));
    recordPage("http://page/", {server.url("/media/song.mp3")});
    FilePass::Counts counts = run({server.url("/media/song.mp3")}, SessionHost::MainWindow);
    EXPECT_EQ(counts.downloaded, 1);
    EXPECT_EQ(saveFolder.read("song.mp3"), bytes);
    EXPECT_EQ(sink.texts.front().source, "127.0.0.1");
    EXPECT_EQ(sink.texts.front().file, "/media/song.mp3");
    EXPECT_EQ(sink.texts.front().size, "50000 Bytes");
    EXPECT_EQ(sink.texts.back().percent, "100% Complete");
    EXPECT_EQ(historyItem(0).downloaded, 1);
    EXPECT_EQ(historyItem(0).localPath, saveFolder.file("song.mp3"));
    EXPECT_EQ(lookups, 1);
}

TEST_F(HttpRoad, AQueryStaysInTheRequestAndTheNameIsMadeSafe) {
    server.route("/show.php?id=3&s=a/b", test::okResponse("img"));
    fetch("/show.php?id=3&s=a/b");
    EXPECT_EQ(server.requestCount("/show.php?id=3&s=a/b"), 1);
    // The name is the last segment of the path with its query; "?" cannot be in a name.
    EXPECT_EQ(saveFolder.read("b"), "img");
    server.route("/view?f=x.jpg", test::okResponse("q"));
    fetch("/view?f=x.jpg");
    EXPECT_EQ(saveFolder.read("view_f=x.jpg"), "q");
}

TEST_F(HttpRoad, NamesFromAddressesNeverLeaveTheSaveFolder) {
    server.route("/a/..%5C..%5Cx/..", test::okResponse("dots"));
    server.route("/d/%2e%2e", test::okResponse("enc"));
    server.route("/CON", test::okResponse("dev"));
    server.route("/dir/", test::okResponse("index"));
    run({server.url("/a/..%5C..%5Cx/.."), server.url("/d/%2e%2e"), server.url("/CON"),
         server.url("/dir/")});
    EXPECT_EQ(saveFolder.read("download"), "dots");
    EXPECT_EQ(saveFolder.read("%2e%2e"), "enc");
    EXPECT_EQ(saveFolder.read("_CON"), "dev");
    EXPECT_EQ(saveFolder.read("download1"), "index");
    EXPECT_EQ(saveFolder.count(), 4u);
}

TEST_F(HttpRoad, OnlySuccessfulResponsesAreSaved) {
    server.route("/missing.jpg", test::responseWithLength(404, "9", "not found"));
    server.route("/moved.jpg", test::redirectResponse(302, "/there.jpg"));
    server.route("/there.jpg", test::okResponse("arrived"));
    FilePass::Counts counts = run({server.url("/missing.jpg"), server.url("/moved.jpg")});
    EXPECT_FALSE(saveFolder.has("missing.jpg"));
    EXPECT_EQ(counts.passedOver, 1);
    // A redirection is followed; the file keeps the name of the address asked for.
    EXPECT_EQ(saveFolder.read("moved.jpg"), "arrived");
}

TEST_F(HttpRoad, ResponsesWithoutAUsableLengthArePassedOverSilently) {
    server.route("/none", test::responseWithoutLength("abc"));
    server.route("/chunked", test::chunkedResponse("abc"));
    server.route("/negative", test::responseWithLength(200, "-3", "abc"));
    server.route("/word", test::responseWithLength(200, "three", "abc"));
    server.route("/conflict", test::rawResponse("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n"
                                                "Content-Length: 2\r\n",
                                                "abc"));
    server.route("/huge", test::responseWithLength(200, "1000000000000000", "abc"));
    FilePass::Counts counts =
        run({server.url("/none"), server.url("/chunked"), server.url("/negative"),
             server.url("/word"), server.url("/conflict"), server.url("/huge")});
    EXPECT_EQ(counts.passedOver, 6);
    EXPECT_EQ(saveFolder.count(), 0u);
    EXPECT_TRUE(sink.texts.empty());
    EXPECT_EQ(server.requests().size(), 6u);
}

TEST_F(HttpRoad, ADeclaredLengthOfZeroIsNeverSaved) {
    server.route("/empty.gif", test::okResponse(""));
    FilePass::Counts counts = fetch("/empty.gif");
    EXPECT_EQ(counts.downloaded, 0);
    EXPECT_FALSE(saveFolder.has("empty.gif"));
}

TEST_F(HttpRoad, ATransferThatEndsEarlyIsNotSaved) {
    server.route("/short.jpg", test::responseWithLength(200, "1000", std::string(600, 's')));
    // The other two servers hold their connections until the test ends: only the low-speed
    // guard can end those transfers.
    server.route("/stall.jpg", test::stallAfterHeadResponse("1000"));
    server.route("/stops.jpg", test::stallAfterHeadResponse("1000", std::string(10, 'd')));
    limits.lowSpeedWindowMs = 200;
    limits.lowSpeedBytes = 64;
    FilePass::Counts counts =
        run({server.url("/short.jpg"), server.url("/stall.jpg"), server.url("/stops.jpg")});
    EXPECT_EQ(counts.passedOver, 3);
    EXPECT_EQ(saveFolder.count(), 0u);
}

TEST_F(HttpRoad, BytesBeyondTheDeclaredLengthAreDropped) {
    server.route("/more.jpg", test::responseWithLength(200, "10", "0123456789SURPLUS"));
    fetch("/more.jpg");
    EXPECT_EQ(saveFolder.read("more.jpg"), "0123456789");
}

TEST_F(HttpRoad, AFilteredDownloadShowsThePathFollowedByFiltered) {
    settings.limitFileSize = 1;
    settings.largerThanOn = 0;
    settings.smallerThanOn = 1;
    settings.smallerThanKB = 1;
    server.route("/big.swf", test::okResponse(std::string(1025, 'b')));
    FilePass::Counts counts = fetch("/big.swf");
    EXPECT_EQ(counts.filtered, 1);
    ASSERT_EQ(sink.texts.size(), 1u);
    EXPECT_EQ(sink.texts[0].source, "127.0.0.1");
    EXPECT_EQ(sink.texts[0].file, "/big.swfFiltered.");
    EXPECT_EQ(sink.texts[0].size, "0 Bytes");
    EXPECT_FALSE(saveFolder.has("big.swf"));
}

TEST_F(HttpRoad, CancelCurrentDropsTheTransferAndThePassGoesOn) {
    server.route("/one.jpg", test::okResponse(std::string(200000, '1')));
    server.route("/two.jpg", test::okResponse("second"));
    sink.onPosition = [&](uint64_t position) {
        if (position > 0 && position < 200000 && sink.texts.back().file == "/one.jpg")
            flags.continueCurrent = 0;
    };
    run({server.url("/one.jpg"), server.url("/two.jpg")});
    EXPECT_FALSE(saveFolder.has("one.jpg"));
    EXPECT_EQ(saveFolder.read("two.jpg"), "second");
}

TEST_F(HttpRoad, CancelAllInTheMainWindowLeavesNoPartialFile) {
    server.route("/one.jpg", test::okResponse(std::string(200000, '1')));
    server.route("/two.jpg", test::okResponse("second"));
    recordPage("http://page/", {server.url("/one.jpg"), server.url("/two.jpg")});
    sink.onPosition = [&](uint64_t position) {
        if (position > 0 && position < 200000)
            flags.running = 0;
    };
    run({server.url("/one.jpg"), server.url("/two.jpg")}, SessionHost::MainWindow);
    EXPECT_EQ(saveFolder.count(), 0u);
    EXPECT_EQ(historyItem(0).downloaded, 0);
    EXPECT_EQ(server.requestCount("/two.jpg"), 0);
}

TEST_F(HttpRoad, CancelAllAsTheLastBytesArriveKeepsTheWholeFileAndStops) {
    server.route("/one.jpg", test::okResponse(std::string(200000, '1')));
    server.route("/two.jpg", test::okResponse("second"));
    recordPage("http://page/", {server.url("/one.jpg"), server.url("/two.jpg")});
    sink.onPosition = [&](uint64_t position) {
        if (position == 200000)
            flags.running = 0;
    };
    run({server.url("/one.jpg"), server.url("/two.jpg")}, SessionHost::MainWindow);
    EXPECT_EQ(saveFolder.read("one.jpg"), std::string(200000, '1'));
    EXPECT_EQ(historyItem(0).downloaded, 1);
    EXPECT_EQ(server.requestCount("/two.jpg"), 0);
}

TEST_F(HttpRoad, AnHttpsAddressIsNotFetchedAsPlainHttp) {
    // The plain server cannot take the TLS greeting for a request: nothing is asked for or saved.
    FilePass::Counts counts =
        run({"https://127.0.0.1:" + std::to_string(server.port()) + "/secure.jpg"});
    EXPECT_EQ(counts.passedOver, 1);
    EXPECT_EQ(server.requestCount("/secure.jpg"), 0);
    EXPECT_EQ(saveFolder.count(), 0u);
}

TEST_F(HttpRoad, ShortAndForeignAddressesArePassedOver) {
    FilePass::Counts counts = run({"http://", "a.jpg", "ftp://127.0.0.1/x.jpg",
                                   "data:image/gif;base64,R0lGODlhAQABAAAAACw="});
    EXPECT_EQ(counts.passedOver, 4);
    EXPECT_TRUE(server.requests().empty());
}

class SaveBuffer : public FilePassFixture {};

TEST_F(SaveBuffer, ReturnsThePathOnlyForAFileItWrote) {
    auto pass = makePass();
    pass->open();
    EXPECT_EQ(pass->saveBuffer("a.bin", "abc", 3), saveFolder.file("a.bin"));
    EXPECT_EQ(pass->saveBuffer("a.bin", "xyz", 3), "");
    EXPECT_EQ(pass->saveBuffer("a.bin", "wxyz", 4), saveFolder.file("a1.bin"));
    EXPECT_EQ(saveFolder.read("a.bin"), "abc");
    settings.saveFolder = saveFolder.file("no-such-folder");
    EXPECT_EQ(pass->saveBuffer("b.bin", "abc", 3), "");
}

}  // namespace
}  // namespace vx

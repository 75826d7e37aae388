#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "download_fixture.h"
#include "resources/resource.h"

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

}  // namespace
}  // namespace vx

#include "download/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "base/string_table.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "settings/download_settings.h"
#include "support/fake_browser.h"
#include "support/memory_file_system.h"

namespace {

using vx::DownloadSession;
using vx::SessionHost;
using vx::SessionPhase;
using vx::test::FakeBrowser;
using vx::test::FakeWindow;
using vx::test::img;

std::string text(int id) {
    return vx::tableText(id);
}

// Records what the worker does to its host's windows, in order. A message box can run a hook
// while it is "open", as a user would act meanwhile.
class RecordingWindow final : public vx::SessionWindow {
  public:
    std::vector<std::string> calls;
    std::function<void()> whileMessageShown;

    void setCaption(const std::string& t) override { calls.push_back("caption:" + t); }
    void setCancelAllText(const std::string& t) override { calls.push_back("button2:" + t); }
    void showCancelCurrent(bool show) override { calls.push_back(show ? "show1064" : "hide1064"); }
    void showTexts(const vx::ProgressTexts& t) override { calls.push_back("texts:" + t.file); }
    void setBarRange(uint64_t total) override { calls.push_back("range:" + std::to_string(total)); }
    void setBarPosition(uint64_t p) override { calls.push_back("position:" + std::to_string(p)); }
    void openSettingsSheet() override { calls.push_back("sheet"); }
    void showProgressWindow() override { calls.push_back("showProgress"); }
    void enableDownloadNow() override { calls.push_back("enableDownloadNow"); }
    void showMessage(int, const std::string& t) override {
        calls.push_back("message:" + t);
        if (whileMessageShown)
            whileMessageShown();
    }
};

// A session whose file pass is stood in for by `pass`: each test makes it end, fail or wait as it
// needs.
class StandInPassSession final : public DownloadSession {
  public:
    using DownloadSession::DownloadSession;
    std::function<void(const vx::MediaUrlList&)> pass;

  protected:
    void runFilePass(const vx::MediaUrlList& media, vx::SessionWindow&,
                     const vx::SessionWorkerServices&) override {
        if (pass)
            pass(media);
    }
};

vx::DownloadSettings imagesAndMedia() {
    vx::DownloadSettings s{};
    s.typeImages = 1;
    s.typeMp3 = 1;
    s.typeFlash = 1;
    s.limitResolution = 0;
    return s;
}

class SessionTest : public ::testing::Test {
  protected:
    // A file pass that ends the way the real one does and remembers what it was given.
    // `whileCollecting` runs before each element of every page is read.
    vx::SessionWorkerServices services(StandInPassSession& session, std::vector<FakeWindow> windows,
                                       std::function<void()> whileCollecting = {}) {
        if (whileCollecting)
            for (FakeWindow& w : windows)
                w.beforeElement = [whileCollecting](int32_t) { whileCollecting(); };
        vx::SessionWorkerServices s;
        s.openBrowserWindows = [windows]() -> std::unique_ptr<vx::BrowserWindowSource> {
            return std::make_unique<FakeBrowser>(windows);
        };
        session.pass = [this, &session](const vx::MediaUrlList& media) {
            passes.push_back(media);
            window.calls.push_back("filePass");
            session.flags().running.store(0);
            if (session.host() == SessionHost::DownloadWindow)
                session.flags().stopRequested.store(1);
        };
        return s;
    }

    vx::DownloadSettings settings = imagesAndMedia();
    vx::test::FakeInstall install;
    vx::CHistoryStore history{install, vx::platformFileSystem()};
    RecordingWindow window;
    std::vector<vx::MediaUrlList> passes;
};

FakeWindow page(std::string address, std::vector<std::optional<vx::PageImage>> images,
                std::vector<std::optional<std::string>> links) {
    FakeWindow window;
    window.address = std::move(address);
    window.title = "page";
    window.images = std::move(images);
    window.links = std::move(links);
    return window;
}

// A folder window: no HTML document.
FakeWindow folder() {
    FakeWindow window;
    window.title = "C:\\";
    return window;
}

const std::vector<FakeWindow> kTwoPages = {
    page("http://h/a.html", {img("http://h/1.jpg"), img("http://h/2.jpg")}, {"http://h/s.mp3"}),
    folder(),
    page("http://h/b/", {img("http://h/3.gif")}, {"http://h/x.html", "http://h/m.swf"}),
};

TEST_F(SessionTest, DownloadWindowWithEmptyPageListEndsByTheNoFilesPath) {
    StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
    session.initDownloadWindow();
    EXPECT_EQ(session.phase(), SessionPhase::Collecting);

    session.runWorker(window, services(session, kTwoPages));

    EXPECT_TRUE(passes.empty());
    EXPECT_EQ(session.phase(), SessionPhase::Empty);
    EXPECT_EQ(session.flags().running.load(), 0);
    EXPECT_EQ(session.flags().stopRequested.load(), 1);
    EXPECT_EQ(window.calls,
              (std::vector<std::string>{"button2:" + text(IDS_BUTTON_OK), "hide1064",
                                        "caption:" + text(IDS_NO_PAGE_TO_DOWNLOAD),
                                        "message:" + text(IDS_NO_FILES_TO_DOWNLOAD)}));
    EXPECT_EQ(text(IDS_NO_PAGE_TO_DOWNLOAD), "No page to download.");
    EXPECT_EQ(text(IDS_NO_FILES_TO_DOWNLOAD), "No files to download.");

    // The window waits for "OK"; pressing it asks nothing, since nothing runs.
    EXPECT_FALSE(session.readyToClose());
    bool asked = false;
    EXPECT_TRUE(session.cancelAll([&] { return asked = true; }));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(session.readyToClose());
}

TEST_F(SessionTest, NoFilesPathCoversPagesWithoutMatchingMediaAndMissingPages) {
    struct Case {
        const char* name;
        std::vector<std::string> pages;
        std::vector<FakeWindow> windows;
        bool imagesOnly;
    };
    const std::vector<Case> cases = {
        {"page not open", {"http://h/gone.html"}, kTwoPages, false},
        {"no windows at all", {"http://h/a.html"}, {}, false},
        {"only a folder window", {"file:///C:/"}, {folder()}, false},
        {"page without images, images only",
         {"http://h/text.html"},
         {page("http://h/text.html", {}, {"http://h/s.mp3"})},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.calls.clear();
        passes.clear();
        settings = imagesAndMedia();
        if (c.imagesOnly) {
            settings.typeMp3 = 0;
            settings.typeFlash = 0;
        }
        StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
        session.initDownloadWindow();
        for (const auto& p : c.pages)
            session.pageUrls().appendPageUrl(p);
        session.runWorker(window, services(session, c.windows));
        EXPECT_TRUE(passes.empty());
        EXPECT_EQ(session.phase(), SessionPhase::Empty);
        ASSERT_FALSE(window.calls.empty());
        EXPECT_EQ(window.calls.back(), "message:" + text(IDS_NO_FILES_TO_DOWNLOAD));
    }
}

TEST_F(SessionTest, WorkerWithoutItsOwnCollectionEndsByTheNoFilesPathInBothHosts) {
    for (SessionHost host : {SessionHost::DownloadWindow, SessionHost::MainWindow}) {
        SCOPED_TRACE(host == SessionHost::DownloadWindow ? "download window" : "main window");
        window.calls.clear();
        StandInPassSession session(host, vx::settingsOf(settings),
                                   host == SessionHost::MainWindow ? &history : nullptr);
        if (host == SessionHost::DownloadWindow) {
            session.initDownloadWindow();
            session.pageUrls().appendPageUrl("http://h/a.html");
        } else {
            session.initMainWindow();
            session.setReady(true);
            session.beginMainWindowSession({"http://h/a.html"});
        }
        vx::SessionWorkerServices s = services(session, kTwoPages);
        s.openBrowserWindows = [] { return std::unique_ptr<vx::BrowserWindowSource>(); };

        session.runWorker(window, s);

        EXPECT_TRUE(passes.empty());
        EXPECT_EQ(session.flags().running.load(), 0);
        EXPECT_NE(std::find(window.calls.begin(), window.calls.end(),
                            "message:" + text(IDS_NO_FILES_TO_DOWNLOAD)),
                  window.calls.end());
        if (host == SessionHost::DownloadWindow) {
            EXPECT_EQ(session.flags().stopRequested.load(), 1);
            session.cancelAll({});
            EXPECT_TRUE(session.readyToClose()) << "the window can be closed with \"OK\"";
        } else {
            EXPECT_EQ(window.calls.back(), "enableDownloadNow");
            EXPECT_EQ(session.phase(), SessionPhase::Idle);
        }
    }
}

TEST_F(SessionTest, DownloadWindowCollectsMatchingPagesInWindowOrderThenRunsThePass) {
    StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
    session.initDownloadWindow();
    // The window's address ends in "/": the entry without it matches too.
    session.pageUrls().appendPageUrl("http://h/b");
    session.pageUrls().appendPageUrl("http://h/a.html");

    session.runWorker(window, services(session, kTwoPages));

    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0], (vx::MediaUrlList{"http://h/1.jpg", "http://h/2.jpg", "http://h/s.mp3",
                                           "http://h/3.gif", "http://h/m.swf"}));
    EXPECT_EQ(session.phase(), SessionPhase::Finished);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"filePass"}))
        << "the download window is its own progress window: nothing to show or enable";
    EXPECT_EQ(session.flags().running.load(), 0);
    EXPECT_EQ(session.flags().stopRequested.load(), 1);
    EXPECT_FALSE(session.readyToClose()) << "\"Download complete!\" waits for \"OK\"";
    session.cancelAll({});
    EXPECT_TRUE(session.readyToClose());
}

TEST_F(SessionTest, DownloadWindowCancelAllAnsweredNoChangesNothing) {
    StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
    session.initDownloadWindow();
    int asked = 0;
    EXPECT_FALSE(session.cancelAll([&] {
        ++asked;
        return false;
    }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(session.flags().running.load(), 1);
    EXPECT_EQ(session.flags().continueCurrent.load(), 1);
    EXPECT_EQ(session.flags().stopRequested.load(), 0);
    EXPECT_EQ(session.flags().closeRequested.load(), 0);
    EXPECT_FALSE(session.readyToClose());
}

TEST_F(SessionTest, DownloadWindowCancelAllConfirmedDuringCollectionSkipsThePass) {
    StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
    session.initDownloadWindow();
    session.pageUrls().appendPageUrl("http://h/a.html");
    // "Cancel &All" during collection: collection finishes, the pass stops before its first
    // address (the real pass tests stopRequested before each one).
    bool cancelled = false;
    auto s = services(session, kTwoPages, [&] {
        if (!cancelled)
            cancelled = session.cancelAll([] { return true; });
    });
    session.pass = [&](const vx::MediaUrlList& media) {
        passes.push_back(media);
        EXPECT_EQ(session.flags().stopRequested.load(), 1);
        session.flags().running.store(0);
    };

    session.runWorker(window, s);

    EXPECT_TRUE(cancelled);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].size(), 3u) << "collection is not cut short by the download window";
    EXPECT_EQ(session.flags().running.load(), 0);
    EXPECT_TRUE(session.readyToClose()) << "the window closes itself once the pass has ended";
}

TEST_F(SessionTest, CancelCurrentOnlyDropsTheCurrentTransfer) {
    for (SessionHost host : {SessionHost::DownloadWindow, SessionHost::MainWindow}) {
        StandInPassSession session(host, vx::settingsOf(settings), nullptr);
        host == SessionHost::DownloadWindow ? session.initDownloadWindow()
                                            : session.initMainWindow();
        if (host == SessionHost::MainWindow)
            session.beginMainWindowSession({"http://h/a.html"});
        session.cancelCurrent();
        EXPECT_EQ(session.flags().continueCurrent.load(), 0);
        EXPECT_EQ(session.flags().running.load(), 1);
        EXPECT_EQ(session.flags().stopRequested.load(), 0);
    }
}

TEST_F(SessionTest, ClosingTheHostDuringCollectionStopsTheWorkerWithoutAnyMessage) {
    for (SessionHost host : {SessionHost::DownloadWindow, SessionHost::MainWindow}) {
        SCOPED_TRACE(host == SessionHost::DownloadWindow ? "download window" : "main window");
        window.calls.clear();
        passes.clear();
        StandInPassSession session(host, vx::settingsOf(settings),
                                   host == SessionHost::MainWindow ? &history : nullptr);
        if (host == SessionHost::DownloadWindow) {
            session.initDownloadWindow();
            session.pageUrls().appendPageUrl("http://h/a.html");
        } else {
            session.initMainWindow();
            session.beginMainWindowSession({"http://h/a.html"});
        }
        // The host closes while the first image of the page is being read.
        session.runWorker(window, services(session, kTwoPages, [&] { session.stopForClose(); }));

        EXPECT_TRUE(passes.empty());
        EXPECT_TRUE(window.calls.empty()) << "a closing host is shown nothing";
        EXPECT_EQ(session.flags().running.load(), 0);
        EXPECT_EQ(session.flags().continueCurrent.load(), 0);
    }
}

TEST_F(SessionTest, FailingFilePassStillEndsTheSessionWhereTheUserCanClose) {
    StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
    session.initDownloadWindow();
    session.pageUrls().appendPageUrl("http://h/a.html");
    auto s = services(session, kTwoPages);
    session.pass = [](const vx::MediaUrlList&) { throw std::runtime_error("out of memory"); };

    session.runWorker(window, s);

    EXPECT_EQ(session.flags().running.load(), 0);
    EXPECT_EQ(session.flags().stopRequested.load(), 1);
    EXPECT_EQ(window.calls,
              (std::vector<std::string>{"button2:" + text(IDS_BUTTON_OK), "hide1064"}));
    session.cancelAll({});
    EXPECT_TRUE(session.readyToClose());
}

TEST_F(SessionTest, MainWindowEngineStartsNotReadyAndNothingRunning) {
    StandInPassSession session(SessionHost::MainWindow, vx::settingsOf(settings), &history);
    session.flags().running.store(1);
    session.flags().ready.store(1);
    session.flags().continueCurrent.store(0);
    session.initMainWindow();
    EXPECT_FALSE(session.ready());
    EXPECT_EQ(session.flags().running.load(), 0);
    EXPECT_EQ(session.flags().continueCurrent.load(), 1);
    EXPECT_EQ(session.phase(), SessionPhase::Idle);
}

TEST_F(SessionTest, MainWindowHandOverDropsRepeatsKeepsCaseAndReplacesTheLastList) {
    StandInPassSession session(SessionHost::MainWindow, vx::settingsOf(settings), &history);
    session.initMainWindow();
    session.beginMainWindowSession({"http://h/old.html"});
    session.flags().running.store(0);

    session.beginMainWindowSession(
        {"http://h/a.html", "http://h/A.html", "http://h/a.html", "http://h/b/"});

    EXPECT_EQ(session.pageUrls().entries(),
              (std::vector<std::string>{"http://h/a.html", "http://h/A.html", "http://h/b/"}));
    EXPECT_EQ(session.flags().running.load(), 1);
    EXPECT_EQ(session.phase(), SessionPhase::Collecting);
}

TEST_F(SessionTest, MainWindowSessionShowsProgressRunsPassKeepsHistoryAndEnablesDownloadNow) {
    StandInPassSession session(SessionHost::MainWindow, vx::settingsOf(settings), &history);
    session.initMainWindow();
    session.setReady(true);
    // A record left from the previous session is cleared when the worker starts.
    vx::HistoryRecord old;
    old.pageAddress = "http://h/old.html";
    old.items.push_back(vx::HistoryItem{});
    history.AddRecord(old);

    session.beginMainWindowSession({"http://h/a.html", "http://h/b/"});
    session.runWorker(window, services(session, kTwoPages));

    EXPECT_EQ(window.calls,
              (std::vector<std::string>{"showProgress", "filePass", "enableDownloadNow"}));
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].size(), 5u);
    EXPECT_EQ(session.phase(), SessionPhase::Finished);
    EXPECT_EQ(session.flags().running.load(), 0);

    ASSERT_EQ(history.records().size(), 2u);
    EXPECT_EQ(history.records()[0].pageAddress.str(), "http://h/a.html");
    EXPECT_EQ(history.records()[0].items.size(), 3u);
    EXPECT_EQ(history.records()[1].pageAddress.str(), "http://h/b/")
        << "the record keeps the address as the window gave it";
    EXPECT_EQ(history.records()[1].items.size(), 2u);
}

TEST_F(SessionTest, MainWindowWithNothingCheckedShowsNoFilesAndEnablesDownloadNow) {
    StandInPassSession session(SessionHost::MainWindow, vx::settingsOf(settings), &history);
    session.initMainWindow();
    session.setReady(true);
    session.beginMainWindowSession({});
    // While the message is up, the session still counts as running.
    int32_t runningWhileShown = -1;
    window.whileMessageShown = [&] { runningWhileShown = session.flags().running.load(); };

    session.runWorker(window, services(session, kTwoPages));

    EXPECT_EQ(window.calls, (std::vector<std::string>{"message:" + text(IDS_NO_FILES_TO_DOWNLOAD),
                                                      "enableDownloadNow"}))
        << "the progress window stays hidden";
    EXPECT_EQ(runningWhileShown, 1);
    EXPECT_EQ(session.flags().running.load(), 0);
    EXPECT_TRUE(passes.empty());
    EXPECT_TRUE(history.records().empty());
}

TEST_F(SessionTest, MainWindowCancelAllStopsTheRunningPass) {
    StandInPassSession session(SessionHost::MainWindow, vx::settingsOf(settings), &history);
    session.initMainWindow();
    session.setReady(true);
    session.beginMainWindowSession({"http://h/a.html"});
    auto s = services(session, kTwoPages);
    std::vector<int32_t> runningSeen;
    session.pass = [&](const vx::MediaUrlList& media) {
        passes.push_back(media);
        runningSeen.push_back(session.flags().running.load());
        // "Cancel &All" answered No, then Yes.
        EXPECT_FALSE(session.cancelAll([] { return false; }));
        runningSeen.push_back(session.flags().running.load());
        EXPECT_TRUE(session.cancelAll([] { return true; }));
        runningSeen.push_back(session.flags().running.load());
    };

    session.runWorker(window, s);

    EXPECT_EQ(runningSeen, (std::vector<int32_t>{1, 1, 0}));
    EXPECT_EQ(session.flags().stopRequested.load(), 0) << "a flag of the download window only";
    EXPECT_EQ(session.flags().closeRequested.load(), 0);
    EXPECT_EQ(window.calls.back(), "enableDownloadNow");
}

TEST_F(SessionTest, MainWindowOkAfterAFinishedSessionAsksNothingAndReturnsToIdle) {
    StandInPassSession session(SessionHost::MainWindow, vx::settingsOf(settings), &history);
    session.initMainWindow();
    session.beginMainWindowSession({"http://h/a.html"});
    session.runWorker(window, services(session, kTwoPages));
    ASSERT_EQ(session.phase(), SessionPhase::Finished);

    bool asked = false;
    EXPECT_TRUE(session.cancelAll([&] { return asked = true; }));
    EXPECT_FALSE(asked);
    EXPECT_EQ(session.phase(), SessionPhase::Idle);
}

TEST_F(SessionTest, WorkerThreadSeesCancelAllFromTheWindowThread) {
    StandInPassSession session(SessionHost::DownloadWindow, vx::settingsOf(settings), nullptr);
    session.initDownloadWindow();
    session.pageUrls().appendPageUrl("http://h/a.html");
    auto s = services(session, kTwoPages);
    std::atomic<int> passStarted{0};
    // A pass that, like the real one, tests stopRequested between its files; it would never end
    // without the window thread's "Cancel &All".
    session.pass = [&](const vx::MediaUrlList&) {
        passStarted.store(1);
        while (session.flags().stopRequested.load() == 0)
            std::this_thread::yield();
        session.flags().running.store(0);
    };
    std::thread worker([&] { session.runWorker(window, s); });
    while (passStarted.load() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(session.readyToClose());
    EXPECT_TRUE(session.cancelAll([] { return true; }));
    worker.join();

    EXPECT_TRUE(session.readyToClose());
}

}  // namespace

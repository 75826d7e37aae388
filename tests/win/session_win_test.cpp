// The main window's download session under Wine: a host dialog with "&Download Now", the
// modeless progress window, the stand-in browser shell and a loopback HTTP server.

#include "download/win/session_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/string_table.h"
#include "download/browser_port.h"
#include "download/win/download_progress_dlg.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "settings/download_settings.h"
#include "support/loopback_server.h"
#include "support/memory_file_system.h"
#include "ui/dialog.h"
#include "ui/text.h"
#include "win_test_util.h"

namespace {

using wintest::boxOwnedBy;
using wintest::Gate;
using wintest::pageFixture;

std::string text(int id) {
    return vx::tableText(id);
}

class MainWindowSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        host_ = std::make_unique<ui::Dialog>(hostTemplate_.get());
        ASSERT_TRUE(host_->Create(nullptr));
        ShowWindow(host_->hwnd(), SW_SHOW);
        vx::DownloadSettings s = vx::DownloadSettings{};
        s.saveFolder = saveFolder_.path();
        s.typeMp3 = 1;
        settings_.set(s);
        session_ =
            std::make_unique<vx::MainWindowSession>(settings_, install_, vx::platformFileSystem());
        ASSERT_TRUE(session_->initEngine(host_->hwnd(), [] { return true; }));
    }
    void TearDown() override {
        session_.reset();
        host_.reset();
        CoUninitialize();
    }

    HWND downloadNow() const { return GetDlgItem(host_->hwnd(), IDC_DOWNLOAD_NOW); }
    HWND progress() const { return session_->progressWindow()->hwnd(); }
    bool workerEnded() {
        return wintest::waitFor([&] { return !session_->workerActive(); });
    }

    wintest::DialogTemplate hostTemplate_ =
        std::move(wintest::DialogTemplate("Vexaro", 300, 200)
                      .button(IDC_DOWNLOAD_NOW, "&Download Now", 200, 20, 60, 15));
    wintest::StandinWindows windows_;
    wintest::TempFolder saveFolder_;
    wintest::TempFolder installFolder_;
    vx::test::FakeInstall install_{installFolder_.path(), installFolder_.path()};
    vx::SharedDownloadSettings settings_;
    std::unique_ptr<ui::Dialog> host_;
    std::unique_ptr<vx::MainWindowSession> session_;
};

TEST_F(MainWindowSessionTest, NothingCheckedShowsNoFilesAndEnablesDownloadNowAgain) {
    windows_.write("<BROWSER>\n</BROWSER>\n");
    wintest::MessageBoxCatcher boxes;
    ASSERT_EQ(session_->downloadNow({}), vx::MainWindowSession::StartResult::Started);
    EXPECT_FALSE(IsWindowEnabled(downloadNow()));
    ASSERT_TRUE(workerEnded());

    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "No files to download.");
    EXPECT_TRUE(IsWindowEnabled(downloadNow()));
    EXPECT_FALSE(IsWindowVisible(progress())) << "the progress window stays hidden";
    EXPECT_EQ(session_->session().flags().running.load(), 0);
}

TEST_F(MainWindowSessionTest, FinishedSessionShowsCompleteAndANewOneRestoresCancelAll) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    server.route("/m/x.jpg", vx::test::okResponse(std::string(1500, 'x')));
    const std::string page = server.url("/m/index.html");
    windows_.write(pageFixture(page, {server.url("/m/x.jpg")}, {}));

    ASSERT_EQ(session_->downloadNow({page, page}), vx::MainWindowSession::StartResult::Started);
    ASSERT_TRUE(workerEnded());

    EXPECT_TRUE(IsWindowVisible(progress()));
    EXPECT_EQ(ui::windowText(progress()), "Download complete!");
    EXPECT_EQ(ui::windowText(GetDlgItem(progress(), IDCANCEL)), "OK");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(progress(), IDC_CANCEL_CURRENT)));
    EXPECT_TRUE(IsWindowEnabled(downloadNow()));
    EXPECT_EQ(saveFolder_.read("x.jpg"), std::string(1500, 'x'));
    EXPECT_EQ(session_->session().pageUrls().size(), 1u) << "the page is handed over once";
    // The history went to the day file: the page and the saved file.
    const auto& records = session_->history().records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].pageAddress.str(), page);
    ASSERT_EQ(records[0].items.size(), 1u);
    EXPECT_EQ(records[0].items[0].downloaded, 1);

    // "OK" asks nothing and hides the window, which stays for the next session.
    wintest::MessageBoxCatcher boxes;
    SendMessageA(progress(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_FALSE(IsWindowVisible(progress()));

    ASSERT_EQ(session_->downloadNow({page}), vx::MainWindowSession::StartResult::Started);
    EXPECT_EQ(ui::windowText(GetDlgItem(progress(), IDCANCEL)), "Cancel &All");
    ASSERT_TRUE(workerEnded());
}

TEST_F(MainWindowSessionTest, DownloadNowAnswersTerminatingUntilTheCancelledWorkerHasEnded) {
    windows_.write("<BROWSER>\n</BROWSER>\n");
    Gate gate;
    session_->worker().setWindowSourceFactory(
        [&gate]() -> std::unique_ptr<vx::BrowserWindowSource> { return gate.heldBrowser(); });
    ASSERT_EQ(session_->downloadNow({"http://127.0.0.1/a.html"}),
              vx::MainWindowSession::StartResult::Started);

    // "Cancel &All" confirmed while the worker is held: "&Download Now" is enabled at once...
    wintest::MessageBoxCatcher boxes({IDYES, IDOK});
    SendMessageA(progress(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Are you sure you want to cancel current download task?");
    EXPECT_EQ(session_->session().flags().running.load(), 0);
    EXPECT_TRUE(IsWindowEnabled(downloadNow()));

    // ...but until the worker has really ended, a new session is refused.
    EXPECT_EQ(session_->downloadNow({"http://127.0.0.1/b.html"}),
              vx::MainWindowSession::StartResult::WorkerActive);
    ASSERT_EQ(boxes.count(), 2u);
    EXPECT_EQ(boxes.boxes()[1].text, "Terminating download thread now, please try again.");
    EXPECT_EQ(session_->session().pageUrls().entries(),
              std::vector<std::string>{"http://127.0.0.1/a.html"})
        << "the running worker's page list was not touched";

    gate.open();
    ASSERT_TRUE(workerEnded());
    session_->worker().setWindowSourceFactory({});
    EXPECT_EQ(session_->downloadNow({"http://127.0.0.1/b.html"}),
              vx::MainWindowSession::StartResult::Started);
    ASSERT_TRUE(workerEnded());
}

TEST_F(MainWindowSessionTest, CancelCurrentDropsTheTransferUnderWayAndTheNextFileIsSaved) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    // A body that drips for far longer than the test waits, then an ordinary one.
    server.route("/cc/slow.jpg", vx::test::dripResponse(std::string(100000, 'd'), 20));
    server.route("/cc/next.jpg", vx::test::okResponse(std::string(1500, 'n')));
    const std::string page = server.url("/cc/index.html");
    windows_.write(pageFixture(page, {server.url("/cc/slow.jpg"), server.url("/cc/next.jpg")}, {}));

    ASSERT_EQ(session_->downloadNow({page}), vx::MainWindowSession::StartResult::Started);
    ASSERT_TRUE(wintest::waitFor([&] {
        return ui::windowText(GetDlgItem(progress(), IDC_DOWNLOAD_FILE)) == "/cc/slow.jpg";
    })) << "the long transfer is under way";
    wintest::MessageBoxCatcher boxes;
    SendMessageA(progress(), WM_COMMAND, MAKEWPARAM(IDC_CANCEL_CURRENT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(progress(), IDC_CANCEL_CURRENT)));
    ASSERT_TRUE(workerEnded());

    EXPECT_EQ(boxes.count(), 0u) << "\"&Cancel Current\" asks nothing";
    EXPECT_EQ(ui::windowText(progress()), "Download complete!");
    EXPECT_FALSE(saveFolder_.read("slow.jpg").has_value()) << "a dropped transfer is not saved";
    EXPECT_EQ(saveFolder_.read("next.jpg"), std::string(1500, 'n'));
    const auto& records = session_->history().records();
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].items.size(), 2u);
    EXPECT_EQ(records[0].items[0].downloaded, 0) << "the dropped file is not in the history";
    EXPECT_EQ(records[0].items[1].downloaded, 1);
}

TEST_F(MainWindowSessionTest, CancelAllInTheProgressWindowAsksThenStopsAndHidesIt) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    server.route("/esc/big.jpg", vx::test::dripResponse(std::string(100000, 'd'), 20));
    const std::string page = server.url("/esc/index.html");
    windows_.write(pageFixture(page, {server.url("/esc/big.jpg")}, {}));
    ASSERT_EQ(session_->downloadNow({page}), vx::MainWindowSession::StartResult::Started);
    ASSERT_TRUE(wintest::waitFor([&] {
        return ui::windowText(GetDlgItem(progress(), IDC_DOWNLOAD_FILE)) == "/esc/big.jpg";
    }));

    {
        // A second "&Download Now" while the worker runs is refused. (One catcher at a time:
        // two would race for the same box.)
        wintest::MessageBoxCatcher refused({IDOK});
        EXPECT_EQ(session_->downloadNow({page}), vx::MainWindowSession::StartResult::WorkerActive);
        ASSERT_EQ(refused.count(), 1u);
        EXPECT_EQ(refused.boxes()[0].text, text(IDS_WORKER_STILL_ACTIVE));
    }

    // "Cancel &All" answered No changes nothing; the close box answered Yes stops the session.
    wintest::MessageBoxCatcher asked({IDNO, IDYES});
    PostMessageA(progress(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(asked.waitForCount(1));
    EXPECT_EQ(session_->session().flags().running.load(), 1);
    EXPECT_TRUE(IsWindowVisible(progress()));
    PostMessageA(progress(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(asked.waitForCount(2));
    ASSERT_TRUE(workerEnded());

    EXPECT_EQ(asked.boxes()[1].text, "Are you sure you want to cancel current download task?");
    EXPECT_FALSE(IsWindowVisible(progress()));
    EXPECT_TRUE(IsWindowEnabled(downloadNow()));
    EXPECT_FALSE(saveFolder_.read("big.jpg").has_value()) << "an incomplete transfer is dropped";
}

TEST_F(MainWindowSessionTest, ClosingTheHostMidTransferStopsAndJoinsTheWorker) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    // A body that drips for far longer than the test waits.
    server.route("/slow/big.jpg", vx::test::dripResponse(std::string(100000, 'd'), 20));
    const std::string page = server.url("/slow/index.html");
    windows_.write(pageFixture(page, {server.url("/slow/big.jpg")}, {}));

    ASSERT_EQ(session_->downloadNow({page}), vx::MainWindowSession::StartResult::Started);
    ASSERT_TRUE(wintest::waitFor([&] {
        return ui::windowText(GetDlgItem(progress(), IDC_DOWNLOAD_FILE)) == "/slow/big.jpg";
    })) << "the transfer is under way";

    session_->shutdown();

    EXPECT_FALSE(session_->workerActive());
    EXPECT_EQ(session_->progressWindow(), nullptr);
    EXPECT_EQ(session_->session().flags().running.load(), 0);
}

TEST_F(MainWindowSessionTest, ClosingTheHostWhileTheWorkerShowsAMessageClosesItAndJoins) {
    windows_.write("<BROWSER>\n</BROWSER>\n");
    ASSERT_EQ(session_->downloadNow({}), vx::MainWindowSession::StartResult::Started);
    HWND box = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] { return (box = boxOwnedBy(host_->hwnd())) != nullptr; }))
        << "the worker's message is owned by the main window";
    EXPECT_EQ(ui::windowText(GetDlgItem(box, 0xFFFF)), "No files to download.");

    session_->shutdown();

    EXPECT_FALSE(IsWindow(box));
    EXPECT_FALSE(session_->workerActive());
}

TEST_F(MainWindowSessionTest, ClosingTheHostWhileTheWorkerShowsTheSettingsSheetClosesItAndJoins) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    server.route("/s/a.jpg", vx::test::okResponse(std::string(1500, 'a')));
    const std::string page = server.url("/s/index.html");
    windows_.write(pageFixture(page, {server.url("/s/a.jpg")}, {}));
    vx::DownloadSettings s = settings_.get();
    s.saveFolder = saveFolder_.file("gone");
    settings_.set(s);

    ASSERT_EQ(session_->downloadNow({page}), vx::MainWindowSession::StartResult::Started);
    HWND box = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] { return (box = boxOwnedBy(host_->hwnd())) != nullptr; }));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    HWND sheet = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] {
        return (sheet = FindWindowA(nullptr, "Configuration...")) != nullptr;
    })) << "the worker opened the settings sheet";

    session_->shutdown();

    EXPECT_FALSE(IsWindow(sheet));
    EXPECT_FALSE(session_->workerActive());
    EXPECT_FALSE(saveFolder_.read("gone\\a.jpg").has_value());
}

}  // namespace

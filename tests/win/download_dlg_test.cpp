// The download window and the main window's session under Wine: real dialogs, the stand-in
// browser shell, a loopback HTTP server, and a second thread playing the user.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "base/string_table.h"
#include "download/browser_port.h"
#include "download/win/download_dlg.h"
#include "download/win/download_progress_dlg.h"
#include "download/win/session_win.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "settings/download_settings.h"
#include "support/loopback_server.h"
#include "support/memory_file_system.h"
#include "ui/dialog.h"
#include "ui/text.h"
#include "win_test_util.h"

namespace {

using namespace std::chrono_literals;
using wintest::boxOwnedBy;
using wintest::className;
using wintest::kDeadline;
using wintest::poll;
using wintest::press;
using wintest::textOf;
using OpenWindows = wintest::StandinWindows;

std::string text(int id) {
    return vx::tableText(id);
}

// The progress dialog (the one with "&Cancel Current") among the top-level windows of `thread`.
HWND progressDialogOf(DWORD thread) {
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM p) -> BOOL {
            if (className(w) == "#32770" && GetDlgItem(w, IDC_CANCEL_CURRENT)) {
                *reinterpret_cast<HWND*>(p) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

struct SeenBox {
    HWND box = nullptr;
    std::string text;
};

SeenBox waitForBoxOwnedBy(HWND owner) {
    SeenBox seen;
    poll([&] { return (seen.box = boxOwnedBy(owner)) != nullptr; });
    if (seen.box)
        seen.text = textOf(GetDlgItem(seen.box, 0xFFFF));
    return seen;
}

void answer(const SeenBox& box, int id) {
    press(box.box, id);
    poll([&] { return !IsWindow(box.box); });
}

// Plays the user on its own thread while the test thread runs the modal window. If the script
// fails or the window never ends, the modal loop is ended with a quit so the test cannot hang.
class User {
  public:
    explicit User(std::function<void(DWORD uiThread)> script)
        : uiThread_(GetCurrentThreadId()), thread_([this, script] {
              script(uiThread_);
              done_.store(true);
          }) {}
    ~User() { join(); }

    void join() {
        if (!thread_.joinable())
            return;
        // The script is over or stuck: either way the window thread must get out of its loop.
        if (!poll([&] { return done_.load(); }))
            PostThreadMessageA(uiThread_, WM_QUIT, 0, 0);
        thread_.join();
    }

  private:
    DWORD uiThread_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// A browser window collection whose first read waits until the test lets it go, so that the
// worker is held in its collection phase for as long as a test needs.
class GatedBrowser final : public vx::BrowserWindowSource {
  public:
    GatedBrowser(HANDLE gate, std::unique_ptr<vx::BrowserWindowSource> inner)
        : gate_(gate), inner_(std::move(inner)) {}
    int32_t windowCount() override {
        WaitForSingleObject(gate_, INFINITE);
        return inner_ ? inner_->windowCount() : 0;
    }
    std::optional<vx::BrowserPage> page(int32_t index) override { return inner_->page(index); }

  private:
    HANDLE gate_;
    std::unique_ptr<vx::BrowserWindowSource> inner_;
};

class Gate {
  public:
    Gate() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() {
        open();
        CloseHandle(event_);
    }
    void open() { SetEvent(event_); }
    HANDLE handle() const { return event_; }

  private:
    HANDLE event_;
};

class DownloadWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    vx::DownloadSettings settingsFor(const std::string& saveFolder) {
        vx::DownloadSettings s;
        s.saveFolder = saveFolder;
        return s;
    }

    OpenWindows windows_;
    wintest::TempFolder saveFolder_;
};

TEST_F(DownloadWindowTest, EmptyPageListShowsNoPageCaptionAndNoFilesMessageThenOkCloses) {
    windows_.write("<BROWSER>\n</BROWSER>\n");
    vx::CDownloadDlg dlg(nullptr, settingsFor(saveFolder_.path()));
    dlg.allWindows = 0;

    SeenBox box;
    std::string captionWithBox, buttonWithBox;
    bool cancelCurrentVisible = true;
    HWND dialog = nullptr;
    User user([&](DWORD ui) {
        poll([&] { return (dialog = progressDialogOf(ui)) != nullptr; });
        box = waitForBoxOwnedBy(dialog);
        captionWithBox = textOf(dialog);
        buttonWithBox = textOf(GetDlgItem(dialog, IDCANCEL));
        cancelCurrentVisible = IsWindowVisible(GetDlgItem(dialog, IDC_CANCEL_CURRENT));
        answer(box, IDOK);
        press(dialog, IDCANCEL);
    });
    INT_PTR result = dlg.DoModal();
    user.join();

    ASSERT_NE(box.box, nullptr) << "the worker's message box is owned by the download window";
    EXPECT_EQ(box.text, "No files to download.");
    EXPECT_EQ(captionWithBox, "No page to download.");
    EXPECT_EQ(buttonWithBox, "OK");
    EXPECT_FALSE(cancelCurrentVisible);
    EXPECT_EQ(result, IDOK) << "the window closed itself on its timer";
    EXPECT_EQ(saveFolder_.read("x").has_value(), false);
}

TEST_F(DownloadWindowTest,
       CancelAllAnsweredNoChangesNothingAndEnterNeverEndsTheWindowUnderItsWorker) {
    windows_.write("<BROWSER>\n</BROWSER>\n");
    Gate gate;
    vx::CDownloadDlg dlg(nullptr, settingsFor(saveFolder_.path()));
    dlg.setWindowSourceFactory({}, [&gate]() -> std::unique_ptr<vx::BrowserWindowSource> {
        return std::make_unique<GatedBrowser>(gate.handle(), nullptr);
    });
    dlg.pageUrls().appendPageUrl("http://127.0.0.1/none.html");

    SeenBox askedByButton, askedByEnter, noFiles;
    std::string captionAfterNo;
    int32_t stopAfterNo = -1, closeAfterNo = -1, runningAfterNo = -1;
    bool aliveAfterEnter = false;
    int32_t runningAfterEnter = -1;
    User user([&](DWORD ui) {
        HWND dialog = nullptr;
        poll([&] { return (dialog = progressDialogOf(ui)) != nullptr; });
        poll([&] { return textOf(dialog) == text(IDS_GETTING_FILE_LIST); });

        press(dialog, IDCANCEL);
        askedByButton = waitForBoxOwnedBy(dialog);
        answer(askedByButton, IDNO);
        captionAfterNo = textOf(dialog);
        stopAfterNo = dlg.session().flags().stopRequested.load();
        closeAfterNo = dlg.session().flags().closeRequested.load();
        runningAfterNo = dlg.session().flags().running.load();

        // Enter, while the worker is held in its collection.
        press(dialog, IDOK);
        askedByEnter = waitForBoxOwnedBy(dialog);
        answer(askedByEnter, IDYES);
        poll([&] { return dlg.session().flags().closeRequested.load() == 1; });
        aliveAfterEnter = IsWindow(dialog) != FALSE;
        runningAfterEnter = dlg.session().flags().running.load();

        // The worker goes on: it finds nothing and says so; the window then closes by itself.
        gate.open();
        noFiles = waitForBoxOwnedBy(dialog);
        answer(noFiles, IDOK);
    });
    INT_PTR result = dlg.DoModal();
    user.join();

    EXPECT_EQ(askedByButton.text, "Are you sure you want to cancel current download task?");
    EXPECT_EQ(captionAfterNo, "Now getting download files list...");
    EXPECT_EQ(stopAfterNo, 0);
    EXPECT_EQ(closeAfterNo, 0);
    EXPECT_EQ(runningAfterNo, 1);
    EXPECT_EQ(askedByEnter.text, "Are you sure you want to cancel current download task?");
    EXPECT_TRUE(aliveAfterEnter) << "Enter does not end the window under its worker";
    EXPECT_EQ(runningAfterEnter, 1);
    EXPECT_EQ(noFiles.text, "No files to download.");
    EXPECT_EQ(result, IDOK);
}

TEST_F(DownloadWindowTest, WorkerWithoutItsOwnCollectionEndsWithNoFiles) {
    windows_.write("<BROWSER>\n</BROWSER>\n");
    vx::CDownloadDlg dlg(nullptr, settingsFor(saveFolder_.path()));
    dlg.setWindowSourceFactory({}, [] { return std::unique_ptr<vx::BrowserWindowSource>(); });
    dlg.pageUrls().appendPageUrl("http://127.0.0.1/a.html");

    SeenBox noFiles;
    std::string caption;
    User user([&](DWORD ui) {
        HWND dialog = nullptr;
        poll([&] { return (dialog = progressDialogOf(ui)) != nullptr; });
        noFiles = waitForBoxOwnedBy(dialog);
        caption = textOf(dialog);
        answer(noFiles, IDOK);
        press(dialog, IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    user.join();
    EXPECT_EQ(noFiles.text, "No files to download.");
    EXPECT_EQ(caption, "No page to download.");
}

}  // namespace

std::string pageFixture(const std::string& pageUrl, const std::vector<std::string>& images,
                        const std::vector<std::string>& links) {
    std::string xml = "<BROWSER>\n<WINDOW TITLE=\"Page\" URL=\"" + pageUrl + "\" KIND=\"html\">\n";
    for (const auto& src : images)
        xml += "<IMG SRC=\"" + src + "\" WIDTH=\"10\" HEIGHT=\"10\"/>\n";
    for (const auto& href : links)
        xml += "<A HREF=\"" + href + "\"/>\n";
    return xml + "</WINDOW>\n</BROWSER>\n";
}

TEST_F(DownloadWindowTest, AllWindowsModeHarvestsThePageAndEndsWithDownloadComplete) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    const std::string picture(2000, 'p');
    const std::string song(3000, 's');
    server.route("/p/a.jpg", vx::test::okResponse(picture));
    server.route("/p/b.mp3", vx::test::okResponse(song));
    windows_.write(pageFixture(server.url("/p/index.html"), {server.url("/p/a.jpg")},
                               {server.url("/p/b.mp3")}));
    vx::DownloadSettings settings = settingsFor(saveFolder_.path());
    settings.typeMp3 = 1;
    vx::CDownloadDlg dlg(nullptr, settings);
    dlg.allWindows = 1;

    std::string button, percent, file;
    bool cancelCurrentVisible = true;
    bool complete = false;
    User user([&](DWORD ui) {
        HWND dialog = nullptr;
        poll([&] { return (dialog = progressDialogOf(ui)) != nullptr; });
        // The worker's last steps set the caption, then button 2's text, then hide "&Cancel
        // Current": the finished state is read once all of them have happened.
        complete = poll([&] {
            return textOf(dialog) == "Download complete!" &&
                   textOf(GetDlgItem(dialog, IDCANCEL)) == "OK" &&
                   !IsWindowVisible(GetDlgItem(dialog, IDC_CANCEL_CURRENT));
        });
        button = textOf(GetDlgItem(dialog, IDCANCEL));
        percent = textOf(GetDlgItem(dialog, IDC_DOWNLOAD_PERCENT));
        file = textOf(GetDlgItem(dialog, IDC_DOWNLOAD_FILE));
        cancelCurrentVisible = IsWindowVisible(GetDlgItem(dialog, IDC_CANCEL_CURRENT));
        press(dialog, IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    user.join();

    EXPECT_TRUE(complete);
    EXPECT_EQ(button, "OK");
    EXPECT_FALSE(cancelCurrentVisible);
    EXPECT_EQ(file, "/p/b.mp3") << "the texts reached the controls through the refresh message";
    EXPECT_EQ(percent, "100% Complete");
    EXPECT_EQ(dlg.pageUrls().entries(), std::vector<std::string>{server.url("/p/index.html")});
    EXPECT_EQ(saveFolder_.read("a.jpg"), picture);
    EXPECT_EQ(saveFolder_.read("b.mp3"), song);
}

TEST_F(DownloadWindowTest, CancelAllDuringTheFilePassLetsTheCurrentFileFinishThenCloses) {
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    const std::string slow(300, 's');
    server.route("/p/slow.jpg", vx::test::dripResponse(slow, 10));
    server.route("/p/next.jpg", vx::test::okResponse(std::string(1200, 'n')));
    const std::string page = server.url("/p/index.html");
    windows_.write(pageFixture(page, {server.url("/p/slow.jpg"), server.url("/p/next.jpg")}, {}));
    vx::CDownloadDlg dlg(nullptr, settingsFor(saveFolder_.path()));
    dlg.pageUrls().appendPageUrl(page);

    SeenBox asked;
    User user([&](DWORD ui) {
        HWND dialog = nullptr;
        poll([&] { return (dialog = progressDialogOf(ui)) != nullptr; });
        poll([&] { return textOf(GetDlgItem(dialog, IDC_DOWNLOAD_FILE)) == "/p/slow.jpg"; });
        // The caption's close box, as the user would end the session.
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        asked = waitForBoxOwnedBy(dialog);
        answer(asked, IDYES);
    });
    const INT_PTR result = dlg.DoModal();
    user.join();

    EXPECT_EQ(asked.text, "Are you sure you want to cancel current download task?");
    EXPECT_EQ(result, IDOK) << "the window closed itself once the pass had ended";
    EXPECT_EQ(saveFolder_.read("slow.jpg"), slow) << "the file under way ran to its end";
    EXPECT_FALSE(saveFolder_.read("next.jpg").has_value());
    EXPECT_EQ(server.requestCount("/p/next.jpg"), 0u);
}

// The first descendant of `window` with control id `id`.
HWND descendantWithId(HWND window, int id) {
    struct Search {
        int id;
        HWND found;
    } search{id, nullptr};
    EnumChildWindows(
        window,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (GetDlgCtrlID(w) != s->id)
                return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST_F(DownloadWindowTest, MissingSaveFolderAsksForOneAndThePassGoesOnWithIt) {
    wintest::ProgramFolderFile config("config.xml");
    config.remove();
    vx::test::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    server.route("/p/a.jpg", vx::test::okResponse(std::string(1500, 'a')));
    const std::string page = server.url("/p/index.html");
    windows_.write(pageFixture(page, {server.url("/p/a.jpg")}, {}));
    wintest::TempFolder chosen;
    vx::CDownloadDlg dlg(nullptr, settingsFor(saveFolder_.file("gone")));
    dlg.pageUrls().appendPageUrl(page);

    SeenBox missing;
    HWND sheet = nullptr, sheetOwner = nullptr, window = nullptr;
    std::string caption;
    User user([&](DWORD ui) {
        HWND dialog = nullptr;
        poll([&] { return (dialog = progressDialogOf(ui)) != nullptr; });
        window = dialog;
        missing = waitForBoxOwnedBy(dialog);
        answer(missing, IDOK);
        poll([&] { return (sheet = FindWindowA(nullptr, "Configuration...")) != nullptr; });
        sheetOwner = GetWindow(sheet, GW_OWNER);
        HWND folder = nullptr;
        poll([&] { return (folder = descendantWithId(sheet, IDC_SAVE_FOLDER)) != nullptr; });
        SendMessageA(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.path().c_str()));
        press(sheet, IDOK);
        poll([&] {
            caption = textOf(dialog);
            return caption == "Download complete!";
        });
        press(dialog, IDCANCEL);
    });
    const INT_PTR result = dlg.DoModal();
    user.join();

    std::string expected = text(IDS_FOLDER_NOT_EXIST);
    expected.replace(expected.find("%s"), 2, saveFolder_.file("gone"));
    EXPECT_EQ(missing.text, expected);
    ASSERT_NE(sheet, nullptr) << "the settings sheet came up";
    EXPECT_EQ(sheetOwner, window) << "owned by the download window";
    EXPECT_EQ(caption, "Download complete!");
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(chosen.read("a.jpg"), std::string(1500, 'a')) << "saved in the folder just set";
    const std::optional<std::string> saved = config.read();
    ASSERT_TRUE(saved.has_value()) << "Apply wrote config.xml";
    EXPECT_NE(saved->find("<SAVEFOLDER>" + chosen.path() + "</SAVEFOLDER>"), std::string::npos)
        << *saved;
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
    OpenWindows windows_;
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
        [&gate]() -> std::unique_ptr<vx::BrowserWindowSource> {
            return std::make_unique<GatedBrowser>(gate.handle(), nullptr);
        });
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

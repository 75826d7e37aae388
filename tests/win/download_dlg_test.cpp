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
#include "ui/dialog.h"
#include "ui/text.h"
#include "win_test_util.h"

namespace {

using namespace std::chrono_literals;
using wintest::kDeadline;

std::string text(int id) {
    return vx::stringText(id);
}

std::optional<std::string> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// This test's standin-windows.xml beside the stand-in shell; what was there before comes back.
class OpenWindows {
  public:
    OpenWindows()
        : path_(wintest::besideTestProgram("standin-windows.xml")), saved_(readAll(path_)) {}
    ~OpenWindows() {
        if (saved_) {
            write(*saved_);
        } else {
            DeleteFileA(path_.c_str());
        }
    }
    OpenWindows(const OpenWindows&) = delete;
    OpenWindows& operator=(const OpenWindows&) = delete;

    void write(const std::string& text) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << text;
    }

  private:
    std::string path_;
    std::optional<std::string> saved_;
};

// Text of a window of another thread, without hanging on one that does not answer.
std::string textOf(HWND window) {
    char buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!window ||
        !SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return {};
    return std::string(buffer, std::min<size_t>(copied, sizeof buffer - 1));
}

// Polls from a thread that has no windows of its own.
bool poll(const std::function<bool()>& done, std::chrono::milliseconds deadline = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        Sleep(10);
    }
    return true;
}

std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
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

// A message box (a dialog with the text control 0xFFFF) owned by `owner`, of any thread.
HWND boxOwnedBy(HWND owner) {
    struct Search {
        HWND owner;
        HWND box;
    } search{owner, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (className(w) == "#32770" && GetWindow(w, GW_OWNER) == s->owner &&
                GetDlgItem(w, 0xFFFF) && IsWindowVisible(w)) {
                s->box = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.box;
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

void press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
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
        complete = poll([&] { return textOf(dialog) == "Download complete!"; });
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

// The folder of the main window's history.
class FolderInstall final : public vx::InstallEnvironment {
  public:
    explicit FolderInstall(std::string folder) : folder_(std::move(folder)) {}
    std::string installFolder() override { return folder_ + "\\"; }
    std::optional<std::string> registryInstallPath() override { return folder_; }

  private:
    std::string folder_;
};

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
    FolderInstall install_{installFolder_.path()};
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

// The user's part in a whole-program run of tests/e2e: starts the command given in
// VX_DRIVE_COMMAND, waits until its progress window reads VX_DRIVE_CAPTION, presses button 2
// there ("OK") and waits for the program to end; what it saw goes to VX_DRIVE_REPORT. Skipped in
// ordinary runs.
TEST(WholeProgram, PressesOkOnceTheProgressWindowReadsTheGivenCaption) {
    const char* command = std::getenv("VX_DRIVE_COMMAND");
    const char* reportPath = std::getenv("VX_DRIVE_REPORT");
    if (!command || !reportPath)
        GTEST_SKIP() << "the whole-program tests start this one themselves";
    const char* wanted = std::getenv("VX_DRIVE_CAPTION");
    const std::string caption = wanted ? wanted : "Download complete!";

    std::ofstream report(reportPath, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(report.good()) << reportPath;

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = command;
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << command;
    // Every box the program shows is recorded and answered, so none can hold the run.
    wintest::MessageBoxCatcher boxes({IDOK}, process.dwProcessId);

    struct Search {
        DWORD pid;
        HWND window;
    } search{process.dwProcessId, nullptr};
    std::string seen;
    const bool reached = poll(
        [&] {
            search.window = nullptr;
            EnumWindows(
                [](HWND w, LPARAM p) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(p);
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    if (pid == s->pid && GetDlgItem(w, IDC_CANCEL_CURRENT) && IsWindowVisible(w)) {
                        s->window = w;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            // The window is finished once button 2 reads "OK" too.
            if (search.window)
                seen = textOf(search.window);
            if (seen == caption && textOf(GetDlgItem(search.window, IDCANCEL)) != "OK")
                seen.clear();
            return seen == caption || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        },
        std::chrono::milliseconds(240000));
    report << "caption=" << seen << "\n";
    if (reached && search.window && seen == caption)
        press(search.window, IDCANCEL);

    const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (!ended)
        TerminateProcess(process.hProcess, 1);
    report << "exit=" << exitCode << "\n";
    for (const wintest::CaughtBox& box : boxes.boxes())
        report << "box=" << box.text << "\n";
    report.close();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(seen, caption);
    EXPECT_TRUE(ended) << "the program did not end after button 2";
}

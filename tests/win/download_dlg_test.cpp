// The download window under Wine: a real dialog, the stand-in browser shell, a loopback HTTP
// server, and a second thread playing the user.

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
#include "support/fake_browser.h"
#include "support/loopback_server.h"
#include "support/memory_file_system.h"
#include "ui/dialog.h"
#include "ui/text.h"
#include "win_test_util.h"

namespace {

using namespace std::chrono_literals;
using wintest::boxOwnedBy;
using wintest::className;
using wintest::Gate;
using wintest::kDeadline;
using wintest::pageFixture;
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
    dlg.setWindowSourceFactory(
        {}, [&gate]() -> std::unique_ptr<vx::BrowserWindowSource> { return gate.heldBrowser(); });
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
        poll([&] {
            return (folder = robot::firstChild(sheet, [](HWND w) {
                        return GetDlgCtrlID(w) == IDC_SAVE_FOLDER;
                    })) != nullptr;
        });
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

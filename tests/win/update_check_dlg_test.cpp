// The update check dialog for real under Wine, asking a loopback server named by UpdateServer:
// each answer's text and buttons, the request as the server saw it, and closing the dialog while
// the server keeps it waiting.

#include "update/win/update_check_dlg.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/win/browser_list_dlg.h"
#include "resources/resource.h"
#include "support/loopback_server.h"
#include "ui/com.h"
#include "win_test_util.h"

namespace {

using vx::test::LoopbackServer;

const char kVersionTarget[] = "/quenta/download/curver.ini";
const char kCaption[] = "Check for new version of Vexaro";
const char kLatest[] = "You already have the latest version of Vexaro.";
const char kNoVersionInfo[] = "Unable to query version information.";
const char kNoConnection[] = "Unable to connect to download server";

struct OpenedUrl {
    std::string url;
    int showCommand = 0;
};

RECT clientRect(HWND dialog, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class UpdateCheckDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.listening());
        pointAt(server_.port());
    }

    void pointAt(uint16_t port) {
        ASSERT_TRUE(serverValue_.setString("127.0.0.1:" + std::to_string(port)));
    }

    // Opens the dialog; with `finish`, waits until its check has ended.
    void open(bool finish = true) {
        dialog_ = std::make_unique<vx::CUpdateCheckDlg>();
        dialog_->setUrlOpener([this](const std::string& url, int show) -> INT_PTR {
            opened_.push_back({url, show});
            return 42;
        });
        ASSERT_TRUE(dialog_->Create());
        if (finish) {
            ASSERT_TRUE(wintest::waitFor([&] { return dialog_->checkFinished(); }));
        }
    }

    // The dialog's answer to a version file holding `body`.
    void checkAgainst(const std::string& body) {
        server_.route(kVersionTarget, vx::test::okResponse(body));
        open();
    }

    std::string text(int id) const { return dialog_->itemText(id); }
    // Shown within the dialog (the test's dialog itself stays hidden).
    bool visible(int id) const {
        return (GetWindowLongA(dialog_->item(id), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    void expectNewer(const std::string& version) {
        EXPECT_EQ(text(IDC_UPDATE_INFO),
                  "Version " + version + " is available now, click the button below to download.");
        EXPECT_TRUE(visible(IDC_DOWNLOAD_NEW_VERSION));
        EXPECT_FALSE(visible(IDCANCEL));
        EXPECT_EQ(text(IDCANCEL), "&Cancel");
    }

    void expectCurrent() {
        EXPECT_EQ(text(IDC_UPDATE_INFO), kLatest);
        EXPECT_EQ(text(IDCANCEL), "&OK");
        EXPECT_TRUE(visible(IDCANCEL));
        EXPECT_FALSE(visible(IDC_DOWNLOAD_NEW_VERSION));
    }

    void expectFailure(const char* info) {
        EXPECT_EQ(text(IDC_UPDATE_INFO), info);
        EXPECT_EQ(text(IDCANCEL), "&Cancel");
        EXPECT_TRUE(visible(IDCANCEL));
        EXPECT_FALSE(visible(IDC_DOWNLOAD_NEW_VERSION));
    }

    LoopbackServer server_;
    wintest::RegistryValueGuard serverValue_{HKEY_CURRENT_USER, "SOFTWARE\\Norlume\\Vexaro",
                                             vx::kUpdateServerValue};
    std::unique_ptr<vx::CUpdateCheckDlg> dialog_;
    std::vector<OpenedUrl> opened_;
};

TEST_F(UpdateCheckDlgTest, TheSameVersionIsTheLatestAndTheCloseButtonSaysOK) {
    checkAgainst("1.2.0");
    EXPECT_EQ(dialog_->text(), kCaption);
    EXPECT_EQ(text(IDC_UPDATE_VERSION), "1.2.0");
    expectCurrent();
}

TEST_F(UpdateCheckDlgTest, AsksForTheVersionFileWithHttp10AndItsAgent) {
    checkAgainst("1.2.0");
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& request = requests[0].text;
    EXPECT_EQ(request.substr(0, request.find("\r\n")), "GET /quenta/download/curver.ini HTTP/1.0");
    EXPECT_NE((request + "\r\n").find("\r\nUser-Agent: Norlume Vexaro\r\n"), std::string::npos)
        << request;
}

TEST_F(UpdateCheckDlgTest, NewerVersionsOfferDownloadNowWhereCancelWas) {
    for (const char* version : {"1.2.1", "1.3.0", "2.0.0"}) {
        SCOPED_TRACE(version);
        server_.route(kVersionTarget, vx::test::okResponse(version));
        dialog_ = std::make_unique<vx::CUpdateCheckDlg>();
        ASSERT_TRUE(dialog_->Create());
        const HWND window = dialog_->hwnd();
        const RECT cancelBefore = clientRect(window, dialog_->item(IDCANCEL));
        const RECT downloadBefore = clientRect(window, dialog_->item(IDC_DOWNLOAD_NEW_VERSION));
        ASSERT_TRUE(wintest::waitFor([&] { return dialog_->checkFinished(); }));
        expectNewer(version);
        const RECT downloadAfter = clientRect(window, dialog_->item(IDC_DOWNLOAD_NEW_VERSION));
        EXPECT_EQ(downloadAfter.top, cancelBefore.top);
        EXPECT_EQ(downloadAfter.bottom, cancelBefore.bottom);
        EXPECT_EQ(downloadAfter.left, downloadBefore.left);
        EXPECT_EQ(downloadAfter.right, downloadBefore.right);
    }
}

TEST_F(UpdateCheckDlgTest, OlderAndMultiDigitVersionsAreCurrent) {
    for (const char* version : {"0.9.9", "1.10.0"}) {
        SCOPED_TRACE(version);
        checkAgainst(version);
        expectCurrent();
    }
}

TEST_F(UpdateCheckDlgTest, AShortFileCountsItsMissingDigitsAsZero) {
    checkAgainst("1.3");
    expectNewer("1.3.0");
}

TEST_F(UpdateCheckDlgTest, ALengthThatLiesReadsOnlyWhatArrives) {
    server_.route(kVersionTarget, vx::test::responseWithLength(200, "2000000000", "2.1"));
    open();
    expectNewer("2.1.0");
}

TEST_F(UpdateCheckDlgTest, AnAnswerWithoutLengthGivesNoVersionInformation) {
    server_.route(kVersionTarget, vx::test::responseWithoutLength("2.0.0"));
    open();
    expectFailure(kNoVersionInfo);
}

TEST_F(UpdateCheckDlgTest, AnErrorPageIsNoVersionFile) {
    server_.route(kVersionTarget, vx::test::responseWithLength(404, "5", "2.0.0"));
    open();
    expectFailure(kNoVersionInfo);
}

TEST_F(UpdateCheckDlgTest, ARefusedConnectionCannotConnect) {
    uint16_t closedPort = 0;
    {
        LoopbackServer gone;
        closedPort = gone.port();
    }
    pointAt(closedPort);
    open();
    expectFailure(kNoConnection);
}

TEST_F(UpdateCheckDlgTest, AServerValueThatNamesNoServerCannotConnect) {
    ASSERT_TRUE(serverValue_.setString("127.0.0.1:0"));
    open();
    expectFailure(kNoConnection);
    EXPECT_EQ(server_.requests().size(), 0u);
}

TEST_F(UpdateCheckDlgTest, ClosingWhileTheServerStallsEndsTheCheckAndTheWindow) {
    server_.route(kVersionTarget, vx::test::silentResponse());
    open(false);
    EXPECT_EQ(text(IDC_UPDATE_INFO), "Connecting download server, please wait...");
    ASSERT_TRUE(wintest::waitFor([&] { return server_.requestCount(kVersionTarget) == 1; }));
    EXPECT_FALSE(dialog_->checkFinished());
    SendMessageA(dialog_->item(IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_FALSE(dialog_->hasWindow());
    dialog_.reset();
    // The worker ends once the call comes back, here when the server lets go.
    server_.release();
    EXPECT_TRUE(wintest::waitFor([] { return vx::CUpdateCheckDlg::runningChecks() == 0; }));
}

TEST_F(UpdateCheckDlgTest, DestroyingTheObjectWhileTheServerStallsStopsTheCheck) {
    server_.route(kVersionTarget, vx::test::silentResponse());
    open(false);
    ASSERT_TRUE(wintest::waitFor([&] { return server_.requestCount(kVersionTarget) == 1; }));
    dialog_.reset();
    server_.release();
    EXPECT_TRUE(wintest::waitFor([] { return vx::CUpdateCheckDlg::runningChecks() == 0; }));
}

TEST_F(UpdateCheckDlgTest, DownloadNowOpensTheDownloadPageShownAndCloses) {
    checkAgainst("1.3.0");
    SendMessageA(dialog_->item(IDC_DOWNLOAD_NEW_VERSION), BM_CLICK, 0, 0);
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0].url, "http://www.norlume.com/vexaro/download.htm");
    EXPECT_EQ(opened_[0].showCommand, SW_SHOW);
    EXPECT_FALSE(dialog_->hasWindow());
}

TEST_F(UpdateCheckDlgTest, EscapeClosesTheDialog) {
    checkAgainst("2.0.0");
    SendMessageA(dialog_->hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(dialog_->hasWindow());
    EXPECT_TRUE(opened_.empty());
}

// Reads the modal update dialog from inside its loop once its check has ended, then closes it
// with Escape while the server still stalls or after it has answered.
struct ModalUpdateReader {
    static inline std::string info;
    static inline std::string closeText;
    static inline std::string waitFor;  // the information text to close on; empty: the first one
    static inline bool closed = false;
    static inline int ticks = 0;

    static void arm(std::string closeOn) {
        info.clear();
        closeText.clear();
        waitFor = std::move(closeOn);
        closed = false;
        ticks = 0;
        SetTimer(nullptr, 0, 50, &ModalUpdateReader::tick);
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = FindWindowA("#32770", kCaption);
        if (++ticks > 600)
            KillTimer(nullptr, id);
        if (!box || !IsWindowVisible(box))
            return;
        char text[512] = {};
        GetDlgItemTextA(box, IDC_UPDATE_INFO, text, sizeof text);
        if (!waitFor.empty() && waitFor != text)
            return;
        KillTimer(nullptr, id);
        info = text;
        GetDlgItemTextA(box, IDCANCEL, text, sizeof text);
        closeText = text;
        closed = true;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDCANCEL)));
    }
};

class UpdateFromMainWindowTest : public UpdateCheckDlgTest {
  protected:
    void openMain() {
        windows_.write("<BROWSER>\r\n</BROWSER>\r\n");
        main_ = std::make_unique<vx::CBrowserListDlg>();
        ASSERT_TRUE(main_->Create());
    }
    void checkForNewVersion() {
        SendMessageA(main_->hwnd(), WM_COMMAND, MAKEWPARAM(ID_CHECK_NEW_VERSION, 0), 0);
    }

    ui::ComInit com_;
    wintest::StandinWindows windows_;
    std::unique_ptr<vx::CBrowserListDlg> main_;
};

TEST_F(UpdateFromMainWindowTest, CheckForNewVersionRunsTheDialogModally) {
    server_.route(kVersionTarget, vx::test::okResponse("1.2.0"));
    openMain();
    ModalUpdateReader::arm(kLatest);
    checkForNewVersion();
    ASSERT_TRUE(ModalUpdateReader::closed);
    EXPECT_EQ(ModalUpdateReader::closeText, "&OK");
    EXPECT_TRUE(IsWindowEnabled(main_->hwnd()));
}

TEST_F(UpdateFromMainWindowTest, EscapeWhileTheServerStallsReturnsToTheMainWindow) {
    server_.route(kVersionTarget, vx::test::silentResponse());
    openMain();
    ModalUpdateReader::arm("Connecting download server, please wait...");
    checkForNewVersion();
    ASSERT_TRUE(ModalUpdateReader::closed);
    EXPECT_TRUE(IsWindowEnabled(main_->hwnd()));
    server_.release();
    EXPECT_TRUE(wintest::waitFor([] { return vx::CUpdateCheckDlg::runningChecks() == 0; }));
}

}  // namespace

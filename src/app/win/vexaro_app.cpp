#include "app/win/vexaro_app.h"

#include <windows.h>
#include <commctrl.h>

#include "app/url_list.h"
#include "app/win/browser_list_dlg.h"
#include "base/file_system.h"
#include "base/install_folder.h"
#include "base/mbcs.h"
#include "download/win/download_dlg.h"
#include "ui/message_box.h"

namespace vx {

namespace {
CVexaroApp* g_current = nullptr;
}

CVexaroApp::CVexaroApp() {
    if (!g_current)
        g_current = this;
}

CVexaroApp::~CVexaroApp() {
    if (g_current == this)
        g_current = nullptr;
}

CVexaroApp* CVexaroApp::current() {
    return g_current;
}

int CVexaroApp::run() {
    InitInstance();
    return ExitInstance();
}

bool CVexaroApp::InitInstance() {
    // Hosting ActiveX controls in dialogs and three-dimensional dialog controls need no
    // preparation in this program: its dialogs host no ActiveX controls and the common controls
    // draw themselves in 3D. Both steps stay here, first, so the start-up order reads as it runs.

    // COM as a single-threaded apartment before any window exists.
    com_.emplace();

    mbcs::initFromSystemCodePage();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                     ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    const std::string commandLine = GetCommandLineA();
    switch (chooseRunMode(commandLine)) {
        case RunMode::AllWindows:
            runDownloadWindow(true, PageUrlList{});
            break;
        case RunMode::UrlList:
            runUrlListMode();
            break;
        case RunMode::WindowList:
            runMainWindow();
            break;
    }
    mainWindow = nullptr;
    return false;
}

void CVexaroApp::runUrlListMode() {
    UrlListResult list =
        loadUrlList(platformFileSystem(), platformInstallEnvironment().installFolder());
    if (!list.loaded()) {
        if (list.messageArgument.empty()) {
            ui::appMessageBoxId(list.messageId, MB_OK);
        } else {
            ui::appMessageBoxId(list.messageId, MB_OK, list.messageArgument);
        }
        return;
    }
    runDownloadWindow(false, list.pageUrls);
}

void CVexaroApp::runDownloadWindow(bool allWindows, const PageUrlList& pageUrls) {
    CDownloadDlg dialog;
    dialog.allWindows = allWindows ? 1 : 0;
    for (const std::string& address : pageUrls)
        dialog.pageUrls().appendPageUrl(address);
    mainWindow = &dialog;
    dialog.DoModal();
    mainWindow = nullptr;
}

void CVexaroApp::runMainWindow() {
    CBrowserListDlg dialog;
    mainWindow = &dialog;
    dialog.DoModal();
    mainWindow = nullptr;
}

int CVexaroApp::ExitInstance() {
    historyFrame.reset();
    advancedFrame.reset();
    com_.reset();
    // No message loop ran, so there is no quit code to pass on.
    return 0;
}

}  // namespace vx

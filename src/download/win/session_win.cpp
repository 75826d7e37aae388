#include "download/win/session_win.h"

#include "base/file_system.h"
#include "base/install_folder.h"
#include "base/string_table.h"
#include "download/file_pass.h"
#include "download/http_client.h"
#include "download/url_cache.h"
#include "download/win/download_progress_dlg.h"
#include "download/win/shell_windows.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "settings/download_settings.h"
#include "ui/com.h"
#include "ui/message_box.h"
#include "ui/module.h"

namespace vx {

namespace {

BOOL CALLBACK closeDialogOfWorker(HWND window, LPARAM) {
    // Only dialogs (message boxes, the settings sheet): the thread's other windows belong to
    // COM and must live on until the thread itself lets them go.
    char name[16] = {};
    if (GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0)
        PostMessageA(window, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace

bool confirmCancelAll(const DownloadSession& session, HWND progressWindow) {
    if (session.over())
        return true;
    return ui::appMessageBox(ui::loadString(IDS_CONFIRM_CANCEL_ALL), MB_YESNO, progressWindow) ==
           IDYES;
}

SessionWorker::SessionWorker(DownloadSession& session, ProgressWindowSink& sink)
    : session_(session), sink_(sink) {}

SessionWorker::~SessionWorker() {
    stopAndJoin();
}

bool SessionWorker::start() {
    if (active())
        return false;
    return thread_.start([this] { body(); });
}

bool SessionWorker::active() {
    if (thread_.running())
        return true;
    if (thread_.joinable())
        thread_.join();
    return false;
}

void SessionWorker::body() {
    workerThreadId_.store(GetCurrentThreadId());
    ui::ComInit com;
    SessionWorkerServices services;
    services.openBrowserWindows = [this, &com]() -> std::unique_ptr<BrowserWindowSource> {
        if (!com.succeeded())
            return nullptr;
        if (factory_)
            return factory_();
        return createShellWindowSource();
    };
    services.filePassPorts = [](ProgressSink& sink) { return platformFilePassPorts(sink); };
    session_.runWorker(sink_, services);
}

void SessionWorker::closeWorkerDialogs() const {
    DWORD id = workerThreadId_.load();
    if (id != 0)
        EnumThreadWindows(id, &closeDialogOfWorker, 0);
}

void SessionWorker::stopAndJoin() {
    if (!thread_.joinable())
        return;
    session_.stopForClose();
    sink_.silence();
    // A worker that waits in a message box or the settings sheet would never see the stop;
    // those are closed, and the worker's sent messages are served, until it has returned.
    while (thread_.running()) {
        closeWorkerDialogs();
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    }
    thread_.join();
}

MainWindowSession::MainWindowSession(SharedDownloadSettings& settings)
    : MainWindowSession(settings, platformInstallEnvironment(), platformFileSystem()) {}

MainWindowSession::MainWindowSession(SharedDownloadSettings& settings,
                                     InstallEnvironment& environment, FileSystem& files)
    : settings_(settings),
      history_(std::make_unique<CHistoryStore>(environment, files)),
      session_(SessionHost::MainWindow, settingsOf(settings), history_.get()),
      sink_(settings),
      worker_(session_, sink_) {}

MainWindowSession::~MainWindowSession() {
    shutdown();
}

HWND MainWindowSession::downloadNowButton() const {
    return mainWindow_ ? GetDlgItem(mainWindow_, IDC_DOWNLOAD_NOW) : nullptr;
}

bool MainWindowSession::initEngine(HWND mainWindow,
                                   const std::function<bool()>& createBrowserCollection) {
    worker_.stopAndJoin();
    session_.initMainWindow();
    sink_.unsilence();
    mainWindow_ = mainWindow;
    progress_.reset();

    auto progress = std::make_unique<CDownloadProgressDlg>(*this);
    if (!progress->Create(mainWindow)) {
        ui::appMessageBox("Error creating progress window!", MB_OK);
        return false;
    }
    progress_ = std::move(progress);
    progress_->centreOver(mainWindow);
    sink_.attach(progress_->hwnd(), mainWindow, downloadNowButton());

    if (!createBrowserCollection || !createBrowserCollection()) {
        ui::appMessageBox("Error creating ie doc window!", MB_OK, mainWindow);
        return false;
    }
    session_.setReady(true);
    return true;
}

MainWindowSession::StartResult MainWindowSession::downloadNow(
    const std::vector<std::string>& checkedAddresses) {
    if (!session_.ready() || !progress_ || !progress_->hasWindow())
        return StartResult::NotReady;
    // Two workers must never share the page list and the history: until a cancelled worker has
    // wound down, the answer is "try again".
    if (worker_.active()) {
        ui::appMessageBox(ui::loadString(IDS_WORKER_STILL_ACTIVE), MB_OK, mainWindow_);
        return StartResult::WorkerActive;
    }
    HWND button = downloadNowButton();
    progress_->setItemText(IDCANCEL, ui::loadString(IDS_BUTTON_CANCEL_ALL));
    if (button)
        EnableWindow(button, FALSE);

    session_.beginMainWindowSession(checkedAddresses);
    progress_->setText(ui::loadString(IDS_GETTING_FILE_LIST));
    if (!worker_.start()) {
        const DWORD error = GetLastError();
        session_.flags().running.store(0);
        if (button)
            EnableWindow(button, TRUE);
        // Rare (no memory, too many threads), but the press must not pass without a word.
        ui::systemErrorBox(error != 0 ? error : ERROR_NOT_ENOUGH_MEMORY);
        return StartResult::Failed;
    }
    return StartResult::Started;
}

void MainWindowSession::cancelAll() {
    HWND window = progress_ && progress_->hasWindow() ? progress_->hwnd() : mainWindow_;
    bool confirmed =
        session_.cancelAll([this, window] { return confirmCancelAll(session_, window); });
    if (!confirmed)
        return;
    if (HWND button = downloadNowButton())
        EnableWindow(button, TRUE);
    // The window object stays for the next session; only its window is hidden.
    if (progress_ && progress_->hasWindow())
        ShowWindow(progress_->hwnd(), SW_HIDE);
}

void MainWindowSession::shutdown() {
    worker_.stopAndJoin();
    session_.setReady(false);
    progress_.reset();
    mainWindow_ = nullptr;
}

}  // namespace vx

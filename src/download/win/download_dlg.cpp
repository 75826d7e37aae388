#include "download/win/download_dlg.h"

#include "download/collection.h"
#include "download/win/shell_windows.h"
#include "settings/win/settings_store_win.h"
#include "resources/resource.h"
#include "ui/message_box.h"
#include "ui/module.h"

namespace vx {

namespace {

DownloadSettings loadedSettings() {
    DownloadSettings settings;
    initSettings(settings);
    return settings;
}

}  // namespace

CDownloadDlg::CDownloadDlg(HWND parent) : CDownloadDlg(parent, loadedSettings()) {}

CDownloadDlg::CDownloadDlg(HWND parent, const DownloadSettings& settings)
    : ui::Dialog(IDD_DOWNLOAD),
      parent_(parent),
      session_(SessionHost::DownloadWindow, settingsOf(settings_), nullptr),
      sink_(settings_),
      worker_(session_, sink_) {
    settings_.set(settings);
}

CDownloadDlg::~CDownloadDlg() {
    worker_.stopAndJoin();
}

void CDownloadDlg::setWindowSourceFactory(SessionWorker::WindowSourceFactory forWindow,
                                          SessionWorker::WindowSourceFactory forWorker) {
    windowFactory_ = std::move(forWindow);
    worker_.setWindowSourceFactory(std::move(forWorker));
}

bool CDownloadDlg::OnInitDialog() {
    windows_.reset();
    session_.initDownloadWindow();
    timer_ = 0;
    windows_ = windowFactory_ ? windowFactory_() : createShellWindowSource();
    if (!windows_) {
        session_.flags().running.store(0);
        ui::appMessageBox("Error creating ie doc window!", MB_OK, hwnd());
        endDialog(IDOK);
        return true;
    }
    if (allWindows == 1)
        appendOpenPages(*windows_, session_.pageUrls());

    setText(ui::loadString(IDS_GETTING_FILE_LIST));
    sink_.attach(hwnd(), hwnd());
    if (!worker_.start()) {
        // Rare (no memory, too many threads), but said with the system's own words; without a
        // worker nothing can be collected, so the session then ends as one that found nothing.
        const DWORD error = GetLastError();
        ui::systemErrorBox(error != 0 ? error : ERROR_NOT_ENOUGH_MEMORY, hwnd());
        session_.runWorker(sink_, SessionWorkerServices{});
    }
    timer_ = SetTimer(hwnd(), kCloseTimerId, kCloseTimerMs, nullptr);
    return true;
}

bool CDownloadDlg::OnCommand(int id, int code, HWND) {
    if (id == IDC_CANCEL_CURRENT && code == BN_CLICKED) {
        session_.cancelCurrent();
        return true;
    }
    return false;
}

void CDownloadDlg::OnOK() {
    cancelAll();
}

void CDownloadDlg::OnCancel() {
    cancelAll();
}

void CDownloadDlg::cancelAll() {
    HWND window = hwnd();
    session_.cancelAll([this, window] { return confirmCancelAll(session_, window); });
}

void CDownloadDlg::onCloseTimer() {
    // The window goes only once the worker has returned, so it never disappears under it.
    if (!session_.readyToClose() || worker_.active())
        return;
    stopTimer();
    endDialog(IDOK);
}

void CDownloadDlg::stopTimer() {
    if (timer_ != 0 && hwnd())
        KillTimer(hwnd(), timer_);
    timer_ = 0;
}

bool CDownloadDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (sink_.handleMessage(hwnd(), msg, wp)) {
        result = 0;
        return true;
    }
    switch (msg) {
        case WM_TIMER:
            if (wp == timer_ || wp == kCloseTimerId)
                onCloseTimer();
            return false;
        case WM_DESTROY:
            // However the window goes, its worker goes first.
            stopTimer();
            worker_.stopAndJoin();
            windows_.reset();
            return false;
        default:
            return false;
    }
}

}  // namespace vx

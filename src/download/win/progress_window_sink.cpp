#include "download/win/progress_window_sink.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "settings/download_settings.h"
#include "settings/win/settings_sheet.h"
#include "ui/message_box.h"
#include "ui/text.h"

namespace vx {

namespace {

// Refreshes come at most this often: enough for the eye, and a pass of small files would
// otherwise spend its time painting.
constexpr DWORD kRefreshGapMs = 30;
constexpr UINT_PTR kRefreshTimerId = 0x5652;

}  // namespace

void ProgressWindowSink::attach(HWND progressWindow, HWND boxOwner, HWND downloadNowButton) {
    // A refresh posted to an earlier window died with it.
    refreshPosted_.store(0);
    appliedTextsVersion_ = 0;
    lastRefreshTick_ = GetTickCount() - kRefreshGapMs;
    refreshTimerSet_ = false;
    textsVersion_.fetch_add(1);
    window_.store(progressWindow);
    owner_.store(boxOwner ? boxOwner : progressWindow);
    downloadNow_.store(downloadNowButton);
}

void ProgressWindowSink::applyTexts(HWND dialog, const ProgressTexts& texts) {
    ui::setWindowText(GetDlgItem(dialog, IDC_DOWNLOAD_FROM), texts.source);
    ui::setWindowText(GetDlgItem(dialog, IDC_DOWNLOAD_FILE), texts.file);
    ui::setWindowText(GetDlgItem(dialog, IDC_DOWNLOAD_SIZE), texts.size);
    ui::setWindowText(GetDlgItem(dialog, IDC_DOWNLOAD_PERCENT), texts.percent);
}

bool ProgressWindowSink::live() const {
    HWND w = window_.load();
    return !silenced() && w && IsWindow(w);
}

HWND ProgressWindowSink::liveOwner() const {
    HWND owner = owner_.load();
    return owner && IsWindow(owner) ? owner : nullptr;
}

void ProgressWindowSink::requestRefresh() {
    if (!live() || refreshPosted_.exchange(1) != 0)
        return;
    if (!PostMessageA(window_.load(), WM_DOWNLOAD_REFRESH, 0, 0))
        refreshPosted_.store(0);
}

void ProgressWindowSink::flush() {
    if (refreshPosted_.load() != 0 && live())
        SendMessageA(window_.load(), WM_DOWNLOAD_REFRESH, 1, 0);
}

void ProgressWindowSink::setCaption(const std::string& text) {
    flush();
    if (live())
        ui::setWindowText(window_.load(), text);
}

void ProgressWindowSink::showTexts(const ProgressTexts& texts) {
    texts_.set(texts);
    textsVersion_.fetch_add(1);
    requestRefresh();
}

namespace {

// The bar control counts in 32 bits: how far a total must be shifted down to fit.
int32_t shiftFor(uint64_t total) {
    int32_t shift = 0;
    while ((total >> shift) > 0x7FFFFFFFull)
        ++shift;
    return shift;
}

}  // namespace

bool ProgressWindowSink::handleMessage(HWND dialog, UINT msg, WPARAM wp) {
    if (msg == WM_DOWNLOAD_REFRESH) {
        refresh(dialog, wp != 0);
        return true;
    }
    if (msg == WM_TIMER && wp == kRefreshTimerId) {
        refresh(dialog);
        return true;
    }
    return false;
}

void ProgressWindowSink::refresh(HWND dialog, bool now) {
    const DWORD tick = GetTickCount();
    const DWORD since = tick - lastRefreshTick_;
    if (!now && since < kRefreshGapMs) {
        // The request stays outstanding: the worker posts no more until the timer shows it.
        if (!refreshTimerSet_)
            refreshTimerSet_ = SetTimer(dialog, kRefreshTimerId, kRefreshGapMs - since, nullptr) != 0;
        if (refreshTimerSet_)
            return;
    }
    if (refreshTimerSet_) {
        KillTimer(dialog, kRefreshTimerId);
        refreshTimerSet_ = false;
    }
    lastRefreshTick_ = tick;
    // Cleared before reading, so a change made from here on asks for a refresh of its own.
    refreshPosted_.store(0);
    const uint64_t version = textsVersion_.load();
    if (version != appliedTextsVersion_) {
        appliedTextsVersion_ = version;
        applyTexts(dialog, texts_.snapshot());
    }
    HWND bar = GetDlgItem(dialog, IDC_DOWNLOAD_BAR);
    const int64_t range = pendingRange_.exchange(-1);
    if (range >= 0)
        SendMessageA(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(range));
    const int64_t position = pendingPosition_.exchange(-1);
    if (position >= 0)
        SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ProgressWindowSink::startFile(const ProgressTexts& texts, uint64_t total) {
    const int32_t shift = shiftFor(total);
    barShift_.store(shift);
    texts_.set(texts);
    textsVersion_.fetch_add(1);
    pendingRange_.store(static_cast<int64_t>(total >> shift));
    pendingPosition_.store(0);
    requestRefresh();
}

void ProgressWindowSink::showProgress(uint64_t position, const ProgressTexts* texts) {
    if (texts) {
        texts_.set(*texts);
        textsVersion_.fetch_add(1);
    }
    pendingPosition_.store(static_cast<int64_t>(position >> barShift_.load()));
    requestRefresh();
}

void ProgressWindowSink::setBarRange(uint64_t total) {
    const int32_t shift = shiftFor(total);
    barShift_.store(shift);
    pendingRange_.store(static_cast<int64_t>(total >> shift));
    requestRefresh();
}

void ProgressWindowSink::setBarPosition(uint64_t position) {
    pendingPosition_.store(static_cast<int64_t>(position >> barShift_.load()));
    requestRefresh();
}

void ProgressWindowSink::setCancelAllText(const std::string& text) {
    flush();
    if (live())
        ui::setWindowText(GetDlgItem(window_.load(), IDCANCEL), text);
}

void ProgressWindowSink::showCancelCurrent(bool show) {
    flush();
    if (live())
        ShowWindow(GetDlgItem(window_.load(), IDC_CANCEL_CURRENT), show ? SW_SHOW : SW_HIDE);
}

void ProgressWindowSink::showProgressWindow() {
    flush();
    if (live())
        ShowWindow(window_.load(), SW_SHOW);
}

void ProgressWindowSink::enableDownloadNow() {
    flush();
    HWND button = downloadNow_.load();
    if (!silenced() && button && IsWindow(button) && IsWindowVisible(button))
        EnableWindow(button, TRUE);
}

void ProgressWindowSink::showMessage(int, const std::string& text) {
    // Owned by the host's window, so the box cannot hide behind it.
    flush();
    if (!silenced())
        ui::appMessageBox(text, MB_OK, liveOwner());
}

void ProgressWindowSink::openSettingsSheet() {
    flush();
    if (!silenced())
        editSharedSettings(liveOwner(), settings_);
}

}  // namespace vx

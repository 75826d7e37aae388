#pragma once
// The worker's side of a progress window (the download window or the main window's progress
// window). The texts and the bar go into shared members and reach the controls through a posted
// WM_DOWNLOAD_REFRESH, at most one outstanding: the worker never waits for the window to paint,
// and the window always shows the latest state. Every other change (caption, buttons, boxes) is
// synchronous and first brings an outstanding refresh in, so the user sees them in the worker's
// order. Once the host is closing, the sink is silenced and no call touches a window any more.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "download/job_model.h"
#include "download/session.h"

namespace vx {

class SharedDownloadSettings;

class ProgressWindowSink final : public SessionWindow {
  public:
    // `settings` is the host's record, which the settings sheet edits.
    explicit ProgressWindowSink(SharedDownloadSettings& settings) : settings_(settings) {}
    ProgressWindowSink(const ProgressWindowSink&) = delete;
    ProgressWindowSink& operator=(const ProgressWindowSink&) = delete;

    // Window thread, before the worker starts: the progress window, the window that owns the
    // worker's message boxes and the settings sheet, and (main window) "&Download Now".
    void attach(HWND progressWindow, HWND boxOwner, HWND downloadNowButton = nullptr);
    // Window thread: the host is closing; from now on nothing is shown or sent.
    void silence() { silenced_.store(1); }
    void unsilence() { silenced_.store(0); }
    bool silenced() const { return silenced_.load() != 0; }

    // The texts as the worker last set them; the window reads them on WM_DOWNLOAD_REFRESH.
    ProgressTexts texts() const { return texts_.snapshot(); }
    // Copies `texts` into IDC_DOWNLOAD_FROM, IDC_DOWNLOAD_FILE, IDC_DOWNLOAD_SIZE and
    // IDC_DOWNLOAD_PERCENT of `dialog` (window thread).
    static void applyTexts(HWND dialog, const ProgressTexts& texts);
    // The window's side, on its own thread: WM_DOWNLOAD_REFRESH (wParam 1: now, whatever the
    // pace) and the pacing timer. True when `msg` was one of them.
    bool handleMessage(HWND dialog, UINT msg, WPARAM wp);
    // Shows the texts when they changed, and the bar's range and position when the worker left
    // new ones; at most once per kRefreshGap unless `now`, the rest deferred to a timer, so that
    // a pass of many small files does not spend its time painting.
    void refresh(HWND dialog, bool now = false);

    // SessionWindow
    void setCaption(const std::string& text) override;
    void showTexts(const ProgressTexts& texts) override;
    void setBarRange(uint64_t total) override;
    void setBarPosition(uint64_t position) override;
    void startFile(const ProgressTexts& texts, uint64_t total) override;
    void showProgress(uint64_t position, const ProgressTexts* texts) override;
    void setCancelAllText(const std::string& text) override;
    void showCancelCurrent(bool show) override;
    void showMessage(int stringId, const std::string& text) override;
    void openSettingsSheet() override;
    void showProgressWindow() override;
    void enableDownloadNow() override;

  private:
    bool live() const;
    HWND liveOwner() const;
    // Worker: asks the window for a refresh unless one is already on its way.
    void requestRefresh();
    // Worker: the window has taken the latest state before anything synchronous follows.
    void flush();

    SharedDownloadSettings& settings_;
    std::atomic<HWND> window_{nullptr};
    std::atomic<HWND> owner_{nullptr};
    std::atomic<HWND> downloadNow_{nullptr};
    std::atomic<int32_t> silenced_{0};
    // The bar control counts in 32 bits: totals beyond that are shifted down, positions alike.
    std::atomic<int32_t> barShift_{0};
    // Left by the worker for the next refresh; -1 when there is nothing new.
    std::atomic<int64_t> pendingRange_{-1};
    std::atomic<int64_t> pendingPosition_{-1};
    // 1 while a posted WM_DOWNLOAD_REFRESH has not been handled yet.
    std::atomic<int32_t> refreshPosted_{0};
    // Bumped by every change of the texts; the window applies them when it differs from its own.
    std::atomic<uint64_t> textsVersion_{0};
    // Window thread only.
    uint64_t appliedTextsVersion_ = 0;
    DWORD lastRefreshTick_ = 0;
    bool refreshTimerSet_ = false;
    SharedProgressTexts texts_;
};

}  // namespace vx

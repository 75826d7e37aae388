#pragma once
// The download window of the command-line modes (IDD_DOWNLOAD): it is its own progress window and
// owns the whole session. "/all" fills its page list from every open browser window; "/current"
// hands over the list read from cacheurl.xml. When the window closes, the program ends.

#include <windows.h>

#include <cstdint>
#include <memory>

#include "download/browser_port.h"
#include "download/job_model.h"
#include "download/session.h"
#include "download/win/progress_window_sink.h"
#include "download/win/session_win.h"
#include "settings/download_settings.h"
#include "ui/dialog.h"

namespace vx {

class CDownloadDlg : public ui::Dialog {
  public:
    // Loads the settings from config.xml.
    explicit CDownloadDlg(HWND parent = nullptr);
    // Runs with the settings given.
    CDownloadDlg(HWND parent, const DownloadSettings& settings);
    ~CDownloadDlg() override;

    // 1: the window lists every open browser window's page itself; 0: the page list is handed
    // over before the window runs.
    int32_t allWindows = 0;
    PageUrlList& pageUrls() { return session_.pageUrls(); }

    // Runs the session; the window ends once the session is over and the user has closed it.
    INT_PTR DoModal() { return ui::Dialog::DoModal(parent_); }

    // The window's own collection of browser windows (for "/all") and the worker's; by default
    // the shell's window collection.
    void setWindowSourceFactory(SessionWorker::WindowSourceFactory forWindow,
                                SessionWorker::WindowSourceFactory forWorker);

    const DownloadSession& session() const { return session_; }
    SharedDownloadSettings& settings() { return settings_; }

    static constexpr UINT_PTR kCloseTimerId = 1;
    static constexpr UINT kCloseTimerMs = 100;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    // Enter never ends the dialog under its worker: it is "Cancel &All" (or "OK" once over).
    void OnOK() override;
    // "Cancel &All", Escape and the close box: the window closes itself once the pass is over.
    void OnCancel() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    void cancelAll();
    void onCloseTimer();
    void stopTimer();

    HWND parent_;
    SharedDownloadSettings settings_;
    DownloadSession session_;
    ProgressWindowSink sink_;
    SessionWorker::WindowSourceFactory windowFactory_;
    std::unique_ptr<BrowserWindowSource> windows_;
    UINT_PTR timer_ = 0;
    // Last, so that it is stopped and joined before anything it uses goes.
    SessionWorker worker_;
};

}  // namespace vx

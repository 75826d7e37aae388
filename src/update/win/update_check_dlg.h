#pragma once
// "Check for new version of Vexaro" (dialog 178): asks the update server for its version file on
// a worker thread and tells the user whether a newer version exists; "&Download Now" then opens
// the download page. Closing the dialog aborts a request still waiting on the server; the worker
// keeps only what it shares with the dialog alive, never the dialog object.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/dialog.h"
#include "update/update_check.h"

namespace vx {

// The value under HKEY_CURRENT_USER\SOFTWARE\Norlume\Vexaro naming the update server.
inline constexpr char kUpdateServerValue[] = "UpdateServer";

// The server the registry names; the product's own site when the value is absent or empty;
// nothing when the value names no server (not a string, too long, a bad port).
std::optional<UpdateServer> configuredUpdateServer();

class CUpdateCheckDlg : public ui::Dialog {
  public:
    // Opens an address as OpenUrl does; the result above 32 means success.
    using UrlOpener = std::function<INT_PTR(const std::string& url, int showCommand)>;

    CUpdateCheckDlg();
    ~CUpdateCheckDlg() override;

    // For tests, before the window is created.
    void setUrlOpener(UrlOpener opener);

    // This dialog's worker has ended.
    bool checkFinished() const;
    // Workers of any dialog, closed or not, that have not ended yet.
    static int runningChecks();

    class CheckState;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void close(int result) override;

  private:
    // Dialog thread: WM_DOWNLOAD_REFRESH.
    void refresh();
    void showDownloadInPlaceOfClose();
    void downloadNow();
    // Aborts the request and lets the worker go: from now on it tells nobody and ends as soon as
    // WinINet gives its call back.
    void stopCheck();

    UrlOpener openUrl_;
    std::string versionText_;
    UpdateCheckResult shown_;
    // Shared with the worker, which may outlive this object: closing a request handle aborts a
    // waiting call on Windows, but Wine's WinINet finishes the call first, so the dialog cannot
    // wait for the worker without hanging while a server stalls.
    std::shared_ptr<CheckState> state_;
};

}  // namespace vx

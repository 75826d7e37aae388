#pragma once
// "Check for new version of Vexaro" (dialog 178): asks the update server for its version file on
// a worker thread and tells the user whether a newer version exists; "&Download Now" then opens
// the download page. Closing the dialog aborts a request still waiting on the server and waits
// for the worker, which never outlives the dialog object.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "ui/dialog.h"
#include "ui/worker_thread.h"
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

    // What the dialog shows now (on the dialog's thread).
    UpdateCheckResult shownResult() const { return shown_; }
    // The worker has ended.
    bool checkFinished() const { return !worker_.running(); }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void close(int result) override;

  private:
    // The three WinINet handles of one check. The worker opens them; the dialog may close them
    // from its own thread to abort a call that waits on the server, after which the worker finds
    // every further call failing and tells nobody.
    class Handles {
      public:
        enum Slot { Session, Connection, Request };
        // Keeps `handle` for closing; false (closing it at once) when it is null or the check
        // has been aborted.
        bool keep(Slot slot, HINTERNET handle);
        // Closes what is kept, the request first.
        void closeAll();
        // Closes what is kept and refuses whatever comes later.
        void abort();
        bool aborted() const { return aborted_.load(); }

      private:
        std::mutex mutex_;
        std::atomic<bool> aborted_{false};
        HINTERNET handles_[3] = {};
    };

    void runCheck();
    UpdateCheckResult query();
    // Worker: hands `result` to the dialog and has it shown.
    void report(const UpdateCheckResult& result);
    // Dialog thread: WM_DOWNLOAD_REFRESH.
    void refresh();
    void showDownloadInPlaceOfClose();
    void downloadNow();
    // Aborts the request and waits for the worker; the dialog's messages are served meanwhile.
    void stopCheck();

    UrlOpener openUrl_;
    std::string versionText_;
    UpdateCheckResult shown_;
    std::mutex reportMutex_;
    UpdateCheckResult reported_;
    std::atomic<HWND> window_{nullptr};
    Handles handles_;
    // Last: joined before anything it uses goes.
    ui::WorkerThread worker_;
};

}  // namespace vx

#pragma once
// One download session: the flags its host window and its worker share, the page list, and the
// worker's two phases (collect the media of the listed pages, then the file pass). Both hosts run
// this same engine: the download window of the command-line modes and the main window with its
// progress window. The windows only forward the user's actions here and show what the worker
// reports through a SessionWindow.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/browser_port.h"
#include "download/file_pass.h"
#include "download/job_model.h"

namespace vx {

class CHistoryStore;

enum class SessionHost {
    DownloadWindow,  // CDownloadDlg: the window is its own progress window; no history
    MainWindow,      // CBrowserListDlg with its progress window; keeps the history
};

// Where the session stands; written by whoever moves it on, read by anyone.
enum class SessionPhase : int32_t {
    Idle,          // no session yet, or the main window is back to waiting for "&Download Now"
    Collecting,    // the worker matches the open pages and collects their media
    Empty,         // collection found nothing to fetch ("No files to download.")
    Transferring,  // the file pass runs
    Finished,      // the file pass has ended (run to its end or cancelled)
};

// What the worker changes on its host's windows. Every call comes from the worker thread; a host
// that is closing takes the calls without touching its windows.
class SessionWindow {
  public:
    virtual ~SessionWindow() = default;
    // The progress window's caption.
    virtual void setCaption(const std::string& text) = 0;
    // The text of button 2 ("Cancel &All" / "OK").
    virtual void setCancelAllText(const std::string& text) = 0;
    virtual void showCancelCurrent(bool show) = 0;
    // Main window: the progress window, hidden while the pages are collected, appears.
    virtual void showProgressWindow() = 0;
    // Main window: "&Download Now" is enabled again when it is a visible window.
    virtual void enableDownloadNow() = 0;
    // A message box with an OK button, owned by the host's window; `stringId` names the text's
    // string-table entry and `text` is that entry filled in. Returns once it is closed.
    virtual void showMessage(int stringId, const std::string& text) = 0;
};

// The platform parts one worker uses, called on the worker thread.
struct SessionWorkerServices {
    // The worker's own collection of browser windows; nullptr when it cannot be created.
    std::function<std::unique_ptr<BrowserWindowSource>()> openBrowserWindows;
    // The file pass over the collected addresses. It ends the session: caption "Download
    // complete!", button 2 "OK", "&Cancel Current" hidden, `running` 0 (and `stopRequested` 1 in
    // the download window), and the history saved in main-window sessions.
    std::function<void(const MediaUrlList&)> runFilePass;
};

class DownloadSession {
  public:
    // `settings` gives the host's record as it is now (the settings sheet may change it during
    // a session); `history` is the main window's store (null for the download window, which
    // keeps none). Both must outlive the session's worker.
    DownloadSession(SessionHost host, SettingsSource settings, CHistoryStore* history);
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    SessionHost host() const { return host_; }
    SessionFlags& flags() { return flags_; }
    const SessionFlags& flags() const { return flags_; }
    SessionPhase phase() const { return static_cast<SessionPhase>(phase_.load()); }

    // Filled on the window thread before the worker starts and left alone while it runs.
    PageUrlList& pageUrls() { return pageUrls_; }
    const PageUrlList& pageUrls() const { return pageUrls_; }

    // --- window thread ---

    // The download window initialises: a session begins at once.
    void initDownloadWindow();
    // The main window prepares its engine: not ready, nothing running.
    void initMainWindow();
    void setReady(bool ready) { flags_.ready.store(ready ? 1 : 0); }
    bool ready() const { return flags_.ready.load() != 0; }

    // "&Download Now" hands over the checked addresses (repeats dropped, order kept); the
    // worker is started right after. The page list is the new session's from here on.
    void beginMainWindowSession(const std::vector<std::string>& checkedAddresses);

    // "Cancel &All" (button 2, also Escape and the close box; in the download window also Enter).
    // While the session runs, `confirm` asks the user first; false when the user said No, and then
    // nothing has changed.
    bool cancelAll(const std::function<bool()>& confirm);
    // "&Cancel Current": the current transfer stops and is not saved; the pass goes on.
    void cancelCurrent();

    // Download window: the session is over and the user asked to close. The window ends only
    // once its worker has also returned.
    bool readyToClose() const;

    // The host is closing with the worker possibly still running: everything stops at the next
    // test of `running`, and the worker shows nothing more.
    void stopForClose();
    bool closing() const { return closing_.load() != 0; }

    // --- worker thread ---

    // The worker's whole life: collection, then the file pass, or the "No files to download."
    // end when nothing was found (also when the worker cannot open the browser windows).
    void runWorker(SessionWindow& window, const SessionWorkerServices& services);

  private:
    void work(SessionWindow& window, const SessionWorkerServices& services);
    void endWithoutFiles(SessionWindow& window);
    void endAfterFailure(SessionWindow& window);
    void setPhase(SessionPhase phase) { phase_.store(static_cast<int32_t>(phase)); }

    const SessionHost host_;
    const SettingsSource settings_;
    CHistoryStore* const history_;
    SessionFlags flags_;
    PageUrlList pageUrls_;
    std::atomic<int32_t> phase_{static_cast<int32_t>(SessionPhase::Idle)};
    std::atomic<int32_t> closing_{0};
};

}  // namespace vx

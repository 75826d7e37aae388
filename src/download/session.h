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
#include "download/progress_sink.h"

namespace vx {

class CHistoryStore;

// What the worker changes on its host's windows: the progress window as the file pass sees it,
// and the host's own part. Every call comes from the worker thread; a host that is closing takes
// the calls without touching its windows.
class SessionWindow : public ProgressSink {
  public:
    // Main window: the progress window, hidden while the pages are collected, appears.
    virtual void showProgressWindow() = 0;
    // Main window: "&Download Now" is enabled again when it is a visible window.
    virtual void enableDownloadNow() = 0;
};

// The platform parts one worker uses, called on the worker thread.
struct SessionWorkerServices {
    // The worker's own collection of browser windows; nullptr when it cannot be created.
    std::function<std::unique_ptr<BrowserWindowSource>()> openBrowserWindows;
    // The platform parts of the file pass, around the session's window; without them no pass
    // runs.
    std::function<FilePassPorts(ProgressSink& sink)> filePassPorts;
};

class DownloadSession {
  public:
    // `settings` gives the host's record as it is now (the settings sheet may change it during
    // a session); `history` is the main window's store (null for the download window, which
    // keeps none). Both must outlive the session's worker.
    DownloadSession(SessionHost host, SettingsSource settings, CHistoryStore* history);
    virtual ~DownloadSession() = default;
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    SessionHost host() const { return host_; }
    SessionFlags& flags() { return flags_; }
    const SessionFlags& flags() const { return flags_; }
    SessionPhase phase() const { return static_cast<SessionPhase>(flags_.phase.load()); }
    // The session has ended in the user's eyes (its button 2 reads "OK"), though the worker may
    // not have cleared `running` yet.
    bool over() const {
        return phase() == SessionPhase::Finished || phase() == SessionPhase::Empty;
    }

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

  protected:
    // The file pass over the collected addresses, with the ports `services` gives around
    // `window`. It ends the session: caption "Download complete!", button 2 "OK", "&Cancel
    // Current" hidden, `running` 0 (and `stopRequested` 1 in the download window), and the
    // history saved in main-window sessions.
    virtual void runFilePass(const MediaUrlList& media, SessionWindow& window,
                             const SessionWorkerServices& services);

  private:
    void work(SessionWindow& window, const SessionWorkerServices& services);
    void endWithoutFiles(SessionWindow& window);
    void endAfterFailure(SessionWindow& window);
    void setPhase(SessionPhase phase) { flags_.phase.store(static_cast<int32_t>(phase)); }

    const SessionHost host_;
    const SettingsSource settings_;
    CHistoryStore* const history_;
    SessionFlags flags_;
    PageUrlList pageUrls_;
    std::atomic<int32_t> closing_{0};
};

}  // namespace vx

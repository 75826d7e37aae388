#pragma once
// The Win32 side of a download session, shared by both hosts: the worker thread that runs the
// session engine with the real browser windows, cache and HTTP, and the main window's session
// with its modeless progress window.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/browser_port.h"
#include "download/session.h"
#include "download/win/progress_window_sink.h"
#include "ui/worker_thread.h"

namespace vx {

class CDownloadProgressDlg;

class SharedDownloadSettings;
class CHistoryStore;
class FileSystem;
class InstallEnvironment;

// The "Cancel &All" question of `session`, owned by its progress window. Once the session is over
// in the user's eyes (button 2 reads "OK"), though the worker may not have cleared `running`
// yet, nothing is asked.
bool confirmCancelAll(const DownloadSession& session, HWND progressWindow);

// One worker thread of a host. The host starts it, and stops and joins it before its windows
// go; while it waits it serves the messages the worker sends, and closes the message boxes or
// the settings sheet the worker may be showing, so that neither side can wait for the other.
class SessionWorker {
  public:
    // The worker's own browser-window collection, made on the worker thread after COM is
    // initialised there. By default the shell's window collection.
    using WindowSourceFactory = std::function<std::unique_ptr<BrowserWindowSource>()>;

    // Both belong to the host and must outlive this object.
    SessionWorker(DownloadSession& session, ProgressWindowSink& sink);
    // Stops and joins a worker still running.
    ~SessionWorker();
    SessionWorker(const SessionWorker&) = delete;
    SessionWorker& operator=(const SessionWorker&) = delete;

    void setWindowSourceFactory(WindowSourceFactory factory) { factory_ = std::move(factory); }

    // Starts a worker; false while an earlier one is still active, or when no thread could be
    // made.
    bool start();
    // True until the worker has returned from its last step. A worker that has returned is
    // joined here, so the next start() can follow at once.
    bool active();
    // The host is closing: the session stops, the worker shows nothing more, and this waits for
    // it to end.
    void stopAndJoin();

  private:
    void body();
    void closeWorkerDialogs() const;

    DownloadSession& session_;
    ProgressWindowSink& sink_;
    WindowSourceFactory factory_;
    std::atomic<DWORD> workerThreadId_{0};
    ui::WorkerThread thread_;
};

// The main window's download state: its page list and flags, its history store, its modeless
// progress window (IDD_DOWNLOAD_PROGRESS) and the worker. CBrowserListDlg owns one, declared after
// its settings record (a SharedDownloadSettings: the worker reads it, and opens the settings sheet
// over it when the save folder is missing) so that it is destroyed (and its worker joined)
// first, and calls:
//   OnInitDialog:      initEngine(hwnd, createOwnCollection) — false leaves the window not ready
//   list fill:         only while ready()
//   "&Download Now":   downloadNow(addresses of the checked rows, column 1, in row order)
//   closing:           shutdown() before the window is destroyed (the destructor does it too)
class MainWindowSession {
  public:
    // The history goes to the platform's install folder.
    explicit MainWindowSession(SharedDownloadSettings& settings);
    // The history goes where `environment` says, through `files`.
    MainWindowSession(SharedDownloadSettings& settings, InstallEnvironment& environment,
                      FileSystem& files);
    ~MainWindowSession();
    MainWindowSession(const MainWindowSession&) = delete;
    MainWindowSession& operator=(const MainWindowSession&) = delete;

    // Prepares the engine: not ready, nothing running; creates the hidden progress window owned
    // by `mainWindow` and centres it over it (failure: "Error creating progress window!"); then
    // calls `createBrowserCollection`, the main window's own collection for its list (failure:
    // "Error creating ie doc window!" owned by the main window). True when ready.
    bool initEngine(HWND mainWindow, const std::function<bool()>& createBrowserCollection);
    bool ready() const { return session_.ready(); }

    enum class StartResult {
        NotReady,      // the engine is not ready: nothing happens
        WorkerActive,  // a worker is still active: IDS_WORKER_STILL_ACTIVE was shown
        Started,       // a session runs over the checked pages
        Failed,        // no thread could be started; the state is as before
    };
    // "&Download Now" over the addresses of the checked rows.
    StartResult downloadNow(const std::vector<std::string>& checkedAddresses);

    // True until the last worker has really ended, also after a confirmed "Cancel &All".
    bool workerActive() { return worker_.active(); }
    // The main window is closing: the worker stops and is joined, the progress window goes.
    void shutdown();

    // The progress window's buttons.
    void cancelAll();
    void cancelCurrent() { session_.cancelCurrent(); }

    CDownloadProgressDlg* progressWindow() const { return progress_.get(); }
    ProgressWindowSink& sink() { return sink_; }
    DownloadSession& session() { return session_; }
    CHistoryStore& history() { return *history_; }
    SessionWorker& worker() { return worker_; }

  private:
    HWND downloadNowButton() const;

    SharedDownloadSettings& settings_;
    std::unique_ptr<CHistoryStore> history_;
    DownloadSession session_;
    ProgressWindowSink sink_;
    HWND mainWindow_ = nullptr;
    std::unique_ptr<CDownloadProgressDlg> progress_;
    SessionWorker worker_;
};

}  // namespace vx

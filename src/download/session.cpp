#include "download/session.h"

#include <utility>

#include "base/string_table.h"
#include "download/collection.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "settings/download_settings.h"

namespace vx {

DownloadSession::DownloadSession(SessionHost host, SettingsSource settings, CHistoryStore* history)
    : host_(host), settings_(std::move(settings)), history_(history) {}

void DownloadSession::initDownloadWindow() {
    flags_.stopRequested.store(0);
    flags_.closeRequested.store(0);
    flags_.running.store(1);
    flags_.continueCurrent.store(1);
    closing_.store(0);
    setPhase(SessionPhase::Collecting);
}

void DownloadSession::initMainWindow() {
    flags_.ready.store(0);
    flags_.running.store(0);
    flags_.continueCurrent.store(1);
    closing_.store(0);
    setPhase(SessionPhase::Idle);
}

void DownloadSession::beginMainWindowSession(const std::vector<std::string>& checkedAddresses) {
    pageUrls_.clear();
    for (const std::string& address : checkedAddresses)
        pageUrls_.appendPageUrl(address);
    // Set here rather than by the worker, so that a "Cancel &All" arriving before the worker's
    // first step is not undone by it.
    flags_.running.store(1);
    setPhase(SessionPhase::Collecting);
}

bool DownloadSession::cancelAll(const std::function<bool()>& confirm) {
    if (flags_.running.load() == 1 && !(confirm && confirm()))
        return false;
    if (host_ == SessionHost::DownloadWindow) {
        // The pass stops before its next file; the current one runs to its end and is saved.
        flags_.stopRequested.store(1);
        flags_.closeRequested.store(1);
    } else {
        flags_.running.store(0);
        if (phase() == SessionPhase::Finished || phase() == SessionPhase::Empty)
            setPhase(SessionPhase::Idle);
    }
    return true;
}

void DownloadSession::cancelCurrent() {
    flags_.continueCurrent.store(0);
}

bool DownloadSession::readyToClose() const {
    return flags_.running.load() == 0 && flags_.stopRequested.load() == 1 &&
           flags_.closeRequested.load() == 1;
}

void DownloadSession::stopForClose() {
    closing_.store(1);
    flags_.running.store(0);
    flags_.continueCurrent.store(0);
    flags_.stopRequested.store(1);
}

void DownloadSession::runWorker(SessionWindow& window, const SessionWorkerServices& services) {
    try {
        work(window, services);
    } catch (...) {
        // Whatever went wrong, the session must end where the user can close it.
        try {
            endAfterFailure(window);
        } catch (...) {
            flags_.running.store(0);
            flags_.stopRequested.store(1);
        }
    }
}

void DownloadSession::work(SessionWindow& window, const SessionWorkerServices& services) {
    if (history_)
        history_->Clear();

    MediaUrlList mediaUrls;
    {
        std::unique_ptr<BrowserWindowSource> windows;
        if (services.openBrowserWindows)
            windows = services.openBrowserWindows();
        // Without its own window collection the worker has nothing to match: it ends as when no
        // page gave any file, rather than staying in collection for good.
        if (windows) {
            const DownloadSettings settings = settings_ ? settings_() : DownloadSettings{};
            collectSessionMedia(*windows, pageUrls_, settings, flags_.running, mediaUrls,
                                host_ == SessionHost::MainWindow ? history_ : nullptr);
        }
    }

    if (mediaUrls.empty()) {
        endWithoutFiles(window);
        return;
    }

    if (host_ == SessionHost::MainWindow && flags_.running.load() == 1 && !closing())
        window.showProgressWindow();
    if (flags_.running.load() == 1) {
        setPhase(SessionPhase::Transferring);
        runFilePass(mediaUrls, window, services);
    }
    // The pass leaves the flags so already; a pass that did not run (the host stopped the session
    // while pages were collected) must not leave the download window waiting for it.
    flags_.running.store(0);
    if (host_ == SessionHost::DownloadWindow)
        flags_.stopRequested.store(1);
    setPhase(SessionPhase::Finished);
    if (host_ == SessionHost::MainWindow && !closing())
        window.enableDownloadNow();
}

void DownloadSession::runFilePass(const MediaUrlList& media, SessionWindow& window,
                                  const SessionWorkerServices& services) {
    if (!services.filePassPorts)
        return;
    FilePass pass(host_, settings_, flags_, history_, services.filePassPorts(window));
    pass.run(media);
}

void DownloadSession::endWithoutFiles(SessionWindow& window) {
    setPhase(SessionPhase::Empty);
    if (host_ == SessionHost::DownloadWindow) {
        flags_.running.store(0);
        flags_.stopRequested.store(1);
        if (closing())
            return;
        window.setCancelAllText(tableText(IDS_BUTTON_OK));
        window.showCancelCurrent(false);
        window.setCaption(tableText(IDS_NO_PAGE_TO_DOWNLOAD));
        window.showMessage(IDS_NO_FILES_TO_DOWNLOAD, tableText(IDS_NO_FILES_TO_DOWNLOAD));
        return;
    }
    if (!closing())
        window.showMessage(IDS_NO_FILES_TO_DOWNLOAD, tableText(IDS_NO_FILES_TO_DOWNLOAD));
    flags_.running.store(0);
    setPhase(SessionPhase::Idle);
    if (!closing())
        window.enableDownloadNow();
}

void DownloadSession::endAfterFailure(SessionWindow& window) {
    flags_.running.store(0);
    if (host_ == SessionHost::DownloadWindow)
        flags_.stopRequested.store(1);
    setPhase(SessionPhase::Finished);
    if (closing())
        return;
    window.setCancelAllText(tableText(IDS_BUTTON_OK));
    window.showCancelCurrent(false);
    if (host_ == SessionHost::MainWindow)
        window.enableDownloadNow();
}

}  // namespace vx

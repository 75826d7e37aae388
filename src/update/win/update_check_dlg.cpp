#include "update/win/update_check_dlg.h"

#include <wininet.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "base/win/registry.h"
#include "resources/resource.h"
#include "ui/module.h"
#include "update/win/open_url.h"

namespace vx {

namespace {

// Like InstallPath: a value of this many bytes or more is no server name.
constexpr DWORD kServerValueCapacity = 260;

}  // namespace

std::optional<UpdateServer> configuredUpdateServer() {
    const BoundedValue value =
        readBoundedValue(HKEY_CURRENT_USER, kProgramKey, kUpdateServerValue, kServerValueCapacity);
    if (value.status == ERROR_FILE_NOT_FOUND)
        return parseUpdateServer("");
    if (value.status != ERROR_SUCCESS || value.type != REG_SZ)
        return std::nullopt;
    // The value must end within what was read, the buffer keeping room to spare.
    const size_t size = value.bytes.size();
    const size_t length = strnlen(value.bytes.data(), size);
    if (length >= kServerValueCapacity - 1 || (size > 0 && length == size))
        return std::nullopt;
    return parseUpdateServer(std::string_view(value.bytes.data(), length));
}

// What the worker and the dialog share; the worker holds it until it ends.
class CUpdateCheckDlg::CheckState {
  public:
    CheckState() { ++running_; }
    ~CheckState() { --running_; }
    CheckState(const CheckState&) = delete;
    CheckState& operator=(const CheckState&) = delete;

    static int running() { return running_.load(); }

    enum Slot { Session, Connection, Request };
    // Keeps `handle` for closing; false (closing it at once) when it is null or the check has
    // been aborted.
    bool keep(Slot slot, HINTERNET handle) {
        if (!handle)
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (aborted_) {
            InternetCloseHandle(handle);
            return false;
        }
        handles_[slot] = handle;
        return true;
    }
    // Closes what is kept, the request first.
    void closeAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (Slot slot : {Request, Connection, Session})
            if (HINTERNET h = std::exchange(handles_[slot], nullptr))
                InternetCloseHandle(h);
    }
    // Nobody listens any more: closes what is kept and refuses whatever comes later.
    void abort() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            aborted_ = true;
            window_ = nullptr;
        }
        closeAll();
    }
    bool aborted() const { return aborted_.load(); }

    void listen(HWND window) {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
    }
    // Worker: hands `result` over and has the dialog show it.
    void report(const UpdateCheckResult& result) {
        HWND window = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reported_ = result;
            window = window_;
        }
        if (window && IsWindow(window))
            SendMessageA(window, WM_DOWNLOAD_REFRESH, 0, 0);
    }
    UpdateCheckResult reported() {
        std::lock_guard<std::mutex> lock(mutex_);
        return reported_;
    }
    void finish() { finished_ = true; }
    bool finished() const { return finished_.load(); }

  private:
    static inline std::atomic<int> running_{0};
    std::mutex mutex_;
    std::atomic<bool> aborted_{false};
    std::atomic<bool> finished_{false};
    HWND window_ = nullptr;
    UpdateCheckResult reported_;
    HINTERNET handles_[3] = {};
};

namespace {

using CheckState = CUpdateCheckDlg::CheckState;

UpdateCheckResult query(CheckState& state) {
    const UpdateCheckResult noConnection{UpdateCheckState::ConnectFailed, {}};
    const std::optional<UpdateServer> server = configuredUpdateServer();
    if (!server)
        return noConnection;

    HINTERNET session =
        InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!state.keep(CheckState::Session, session))
        return noConnection;
    HINTERNET connection = InternetConnectA(session, server->host.c_str(), server->port, "", "",
                                            INTERNET_SERVICE_HTTP, 0, 0);
    if (!state.keep(CheckState::Connection, connection))
        return noConnection;
    HINTERNET request =
        HttpOpenRequestA(connection, "GET", kVersionFileObject, kVersionFileHttpVersion, nullptr,
                         nullptr, INTERNET_FLAG_DONT_CACHE, 0);
    if (!state.keep(CheckState::Request, request))
        return noConnection;
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0) || state.aborted())
        return noConnection;

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr))
        status = 0;
    char length[32] = {};
    DWORD lengthSize = sizeof length;
    const bool hasLength =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &lengthSize, nullptr) != FALSE;

    // Only the first bytes matter, whatever length the server declares: a bounded read of what
    // actually arrives, never a buffer sized by the server.
    std::string received;
    if (hasLength && status >= 200 && status <= 299) {
        char buffer[kVersionFileBytes];
        while (received.size() < kVersionFileBytes && !state.aborted()) {
            DWORD got = 0;
            const auto want = static_cast<DWORD>(kVersionFileBytes - received.size());
            if (!InternetReadFile(request, buffer, want, &got) || got == 0)
                break;
            received.append(buffer, got);
        }
    }
    return judgeAnswer(static_cast<int>(status), hasLength, received);
}

void runCheck(const std::shared_ptr<CheckState>& state) {
    try {
        state->report({UpdateCheckState::Connecting, {}});
        UpdateCheckResult result{UpdateCheckState::ConnectFailed, {}};
        try {
            result = query(*state);
        } catch (...) {
        }
        state->closeAll();
        state->report(result);
    } catch (...) {
    }
    state->finish();
}

}  // namespace

CUpdateCheckDlg::CUpdateCheckDlg() : ui::Dialog(IDD_UPDATE_CHECK), openUrl_(&OpenUrl) {}

CUpdateCheckDlg::~CUpdateCheckDlg() {
    stopCheck();
}

void CUpdateCheckDlg::setUrlOpener(UrlOpener opener) {
    openUrl_ = std::move(opener);
}

bool CUpdateCheckDlg::OnInitDialog() {
    versionText_ = versionText(kProgramVersion);
    showItem(IDC_DOWNLOAD_NEW_VERSION, false);
    refresh();
    state_ = std::make_shared<CheckState>();
    state_->listen(hwnd_);
    try {
        std::thread([state = state_] { runCheck(state); }).detach();
    } catch (const std::system_error&) {
        state_->abort();
        state_->finish();
        setItemText(IDC_UPDATE_INFO, ui::loadString(IDS_UPDATE_NO_CONNECTION));
    }
    return true;
}

bool CUpdateCheckDlg::OnCommand(int id, int, HWND) {
    if (id != IDC_DOWNLOAD_NEW_VERSION)
        return false;
    downloadNow();
    return true;
}

bool CUpdateCheckDlg::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
    switch (msg) {
        case WM_DOWNLOAD_REFRESH:
            refresh();
            result = 0;
            return true;
        case WM_DESTROY:
            // Destroyed by its owner rather than closed: the worker tells it nothing more.
            stopCheck();
            return false;
        default:
            return false;
    }
}

void CUpdateCheckDlg::close(int result) {
    stopCheck();
    ui::Dialog::close(result);
}

void CUpdateCheckDlg::stopCheck() {
    if (state_)
        state_->abort();
}

bool CUpdateCheckDlg::checkFinished() const {
    return !state_ || state_->finished();
}

int CUpdateCheckDlg::runningChecks() {
    return CheckState::running();
}

void CUpdateCheckDlg::refresh() {
    if (state_)
        shown_ = state_->reported();
    setItemText(IDC_UPDATE_VERSION, versionText_);
    setItemText(IDC_UPDATE_INFO, informationText(shown_));
    if (shown_.state == UpdateCheckState::Current)
        setItemText(IDCANCEL, ui::loadString(IDS_UPDATE_BUTTON_OK));
    else if (shown_.state == UpdateCheckState::NewerAvailable)
        showDownloadInPlaceOfClose();
}

void CUpdateCheckDlg::showDownloadInPlaceOfClose() {
    HWND download = item(IDC_DOWNLOAD_NEW_VERSION);
    HWND closeButton = item(IDCANCEL);
    if (!download || !closeButton || (GetWindowLongA(download, GWL_STYLE) & WS_VISIBLE))
        return;
    RECT closeRect{};
    RECT downloadRect{};
    GetWindowRect(closeButton, &closeRect);
    GetWindowRect(download, &downloadRect);
    // The close button's height and line, the download button's own span.
    downloadRect.top = closeRect.top;
    downloadRect.bottom = closeRect.bottom;
    const bool closeHadFocus = GetFocus() == closeButton;
    ShowWindow(download, SW_SHOW);
    ShowWindow(closeButton, SW_HIDE);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&downloadRect), 2);
    MoveWindow(download, downloadRect.left, downloadRect.top,
               downloadRect.right - downloadRect.left, downloadRect.bottom - downloadRect.top,
               TRUE);
    // A hidden button keeps no focus; Escape and the close box still close the dialog.
    if (closeHadFocus)
        SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(download), TRUE);
}

void CUpdateCheckDlg::downloadNow() {
    openUrl_(ui::loadString(IDS_DOWNLOAD_PAGE), SW_SHOW);
    OnOK();
}

}  // namespace vx

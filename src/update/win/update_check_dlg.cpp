#include "update/win/update_check_dlg.h"

#include <cstring>
#include <utility>

#include "resources/resource.h"
#include "ui/module.h"
#include "update/win/open_url.h"

namespace vx {

namespace {

constexpr char kProgramKey[] = "SOFTWARE\\Norlume\\Vexaro";
// Like InstallPath: a value of this many bytes or more is no server name.
constexpr DWORD kServerValueCapacity = 260;

}  // namespace

std::optional<UpdateServer> configuredUpdateServer() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return parseUpdateServer("");
    char buffer[kServerValueCapacity] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG error = RegQueryValueExA(key, kUpdateServerValue, nullptr, &type,
                                        reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (error == ERROR_FILE_NOT_FOUND)
        return parseUpdateServer("");
    if (error != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    // The value must end within what was read, the buffer keeping room to spare.
    const size_t length = strnlen(buffer, size);
    if (length >= kServerValueCapacity - 1 || (size > 0 && length == size))
        return std::nullopt;
    return parseUpdateServer(std::string_view(buffer, length));
}

bool CUpdateCheckDlg::Handles::keep(Slot slot, HINTERNET handle) {
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

void CUpdateCheckDlg::Handles::closeAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Slot slot : {Request, Connection, Session})
        if (HINTERNET h = std::exchange(handles_[slot], nullptr))
            InternetCloseHandle(h);
}

void CUpdateCheckDlg::Handles::abort() {
    aborted_ = true;
    closeAll();
}

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
    window_ = hwnd_;
    refresh();
    if (!worker_.start([this] { runCheck(); }))
        setItemText(IDC_UPDATE_INFO, ui::loadString(IDS_UPDATE_NO_CONNECTION));
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
            // Destroyed by its owner rather than closed: the worker still must not outlive it.
            stopCheck();
            window_ = nullptr;
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
    handles_.abort();
    if (worker_.joinable())
        worker_.join();
}

void CUpdateCheckDlg::runCheck() {
    report({UpdateCheckState::Connecting, {}});
    const UpdateCheckResult result = query();
    handles_.closeAll();
    report(result);
}

UpdateCheckResult CUpdateCheckDlg::query() {
    const UpdateCheckResult noConnection{UpdateCheckState::ConnectFailed, {}};
    const std::optional<UpdateServer> server = configuredUpdateServer();
    if (!server)
        return noConnection;

    HINTERNET session =
        InternetOpenA(kUpdateAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!handles_.keep(Handles::Session, session))
        return noConnection;
    HINTERNET connection = InternetConnectA(session, server->host.c_str(), server->port, "", "",
                                            INTERNET_SERVICE_HTTP, 0, 0);
    if (!handles_.keep(Handles::Connection, connection))
        return noConnection;
    HINTERNET request =
        HttpOpenRequestA(connection, "GET", kVersionFileObject, kVersionFileHttpVersion, nullptr,
                         nullptr, INTERNET_FLAG_DONT_CACHE, 0);
    if (!handles_.keep(Handles::Request, request))
        return noConnection;
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0) || handles_.aborted())
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
        while (received.size() < kVersionFileBytes && !handles_.aborted()) {
            DWORD got = 0;
            const auto want = static_cast<DWORD>(kVersionFileBytes - received.size());
            if (!InternetReadFile(request, buffer, want, &got) || got == 0)
                break;
            received.append(buffer, got);
        }
    }
    if (handles_.aborted())
        return noConnection;
    return judgeAnswer(static_cast<int>(status), hasLength, received);
}

void CUpdateCheckDlg::report(const UpdateCheckResult& result) {
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        reported_ = result;
    }
    // Once the dialog is closing nobody is told: it is waiting for this thread to end.
    HWND window = window_.load();
    if (!handles_.aborted() && window && IsWindow(window))
        SendMessageA(window, WM_DOWNLOAD_REFRESH, 0, 0);
}

void CUpdateCheckDlg::refresh() {
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        shown_ = reported_;
    }
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
    if (!download || !closeButton || IsWindowVisible(download))
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

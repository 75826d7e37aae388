#include "download/win/download_progress_dlg.h"

#include "download/win/session_win.h"
#include "resources/resource.h"

namespace vx {

CDownloadProgressDlg::CDownloadProgressDlg(MainWindowSession& session)
    : ui::Dialog(IDD_DOWNLOAD_PROGRESS), session_(session) {}

void CDownloadProgressDlg::centreOver(HWND owner) const {
    if (!hwnd() || !owner)
        return;
    RECT ownerRect{};
    RECT own{};
    if (!GetWindowRect(owner, &ownerRect) || !GetWindowRect(hwnd(), &own))
        return;
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    const int x = ownerRect.left + ((ownerRect.right - ownerRect.left) - width) / 2;
    const int y = ownerRect.top + ((ownerRect.bottom - ownerRect.top) - height) / 2;
    SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDownloadProgressDlg::OnCommand(int id, int code, HWND) {
    if (id == IDC_CANCEL_CURRENT && code == BN_CLICKED) {
        session_.cancelCurrent();
        return true;
    }
    return false;
}

void CDownloadProgressDlg::OnOK() {
    session_.cancelAll();
}

void CDownloadProgressDlg::OnCancel() {
    session_.cancelAll();
}

bool CDownloadProgressDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (!session_.sink().handleMessage(hwnd(), msg, wp))
        return false;
    result = 0;
    return true;
}

}  // namespace vx

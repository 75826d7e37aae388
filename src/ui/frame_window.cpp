#include "ui/frame_window.h"

#include <commctrl.h>

#include "ui/module.h"
#include "ui/text.h"

namespace ui {

namespace {
constexpr char kFrameClass[] = "VexaroFrame";
// Lock keys are read this often while the frame is active, so the indicators follow keys typed
// into any of its children.
constexpr UINT kIndicatorPeriodMs = 250;
}  // namespace

FrameWindow::~FrameWindow() {
    destroyWindow();
    if (bigIcon_)
        DestroyIcon(bigIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

bool FrameWindow::createBars(ToolBar& bar, UINT barId, UINT resourceId, StatusBar& status) {
    constexpr DWORD kBarStyle = WS_CHILD | WS_VISIBLE;
    if (!bar.create(hwnd_, barId, kBarStyle) || !bar.loadToolBar(resourceId))
        return false;
    if (!status.create(hwnd_, kStatusBarId, kBarStyle) ||
        !status.setIndicators({StatusBar::kMessagePane, StatusBar::kCapsLock, StatusBar::kNumLock,
                               StatusBar::kScrollLock}))
        return false;
    setToolBar(&bar);
    setStatusBar(&status);
    status.setMessage(loadString(kIdleMessage));
    return true;
}

void FrameWindow::setIcons(UINT iconId) {
    auto load = [iconId](int width, int height) {
        return static_cast<HICON>(
            LoadImageA(resourceModule(), MAKEINTRESOURCEA(iconId), IMAGE_ICON, width, height, 0));
    };
    HICON large = load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    HICON compact = load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(compact));
    if (bigIcon_)
        DestroyIcon(bigIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
    bigIcon_ = large;
    smallIcon_ = compact;
}

bool FrameWindow::LoadFrame(UINT resourceId, DWORD style, HWND parent) {
    if (!registerClass(kFrameClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    HMENU menu = LoadMenuA(resourceModule(), MAKEINTRESOURCEA(resourceId));
    if (!createWindow(0, kFrameClass, "", style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, parent, menu)) {
        if (menu && !hwnd_)
            DestroyMenu(menu);
        return false;
    }
    return true;
}

void FrameWindow::bringForward() const {
    if (!hwnd_)
        return;
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void FrameWindow::RecalcLayout() {
    if (!hwnd_)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (toolBar_) {
        toolBar_->layout();
        client.top += toolBar_->height();
    }
    if (statusBar_) {
        statusBar_->layout();
        client.bottom -= statusBar_->height();
    }
    if (client.bottom < client.top)
        client.bottom = client.top;
    if (client_)
        SetWindowPos(client_, nullptr, client.left, client.top, client.right - client.left,
                     client.bottom - client.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FrameWindow::showPrompt(UINT commandId) {
    if (statusBar_)
        statusBar_->setMessage(commandTexts(commandId).prompt);
}

void FrameWindow::showIdleMessage() {
    if (statusBar_)
        statusBar_->setMessage(loadString(kIdleMessage));
}

bool FrameWindow::OnCreate(CREATESTRUCTA& create) {
    return OnCreateClient(create);
}

bool FrameWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT&) {
    switch (msg) {
        case WM_SIZE:
            if (wp != SIZE_MINIMIZED)
                RecalcLayout();
            return true;
        case WM_SETFOCUS:
            if (client_)
                SetFocus(client_);
            return true;
        case WM_CLOSE:
            OnClose();
            return true;
        case WM_MENUSELECT: {
            const UINT id = LOWORD(wp);
            const UINT flags = HIWORD(wp);
            if (flags == 0xFFFF && lp == 0)
                showIdleMessage();
            else if (!(flags & (MF_POPUP | MF_SEPARATOR)) && id != 0)
                showPrompt(id);
            else if (statusBar_)
                statusBar_->setMessage(std::string());
            return true;
        }
        case WM_EXITMENULOOP:
            showIdleMessage();
            return true;
        case WM_ACTIVATE:
            if (statusBar_) {
                if (LOWORD(wp) != WA_INACTIVE) {
                    statusBar_->refreshIndicators();
                    SetTimer(hwnd_, kIndicatorTimer, kIndicatorPeriodMs, nullptr);
                } else {
                    KillTimer(hwnd_, kIndicatorTimer);
                }
            }
            return false;
        case WM_TIMER:
            if (wp != kIndicatorTimer)
                return false;
            if (statusBar_)
                statusBar_->refreshIndicators();
            return true;
        case WM_DESTROY:
            KillTimer(hwnd_, kIndicatorTimer);
            return false;
        default:
            return false;
    }
}

bool FrameWindow::OnNotify(NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case TTN_GETDISPINFOA: {
            auto& info = reinterpret_cast<NMTTDISPINFOA&>(header);
            if (info.uFlags & TTF_IDISHWND)
                return false;
            tipText_ = commandTexts(static_cast<UINT>(header.idFrom)).tip;
            info.lpszText = tipText_.data();
            info.hinst = nullptr;
            result = 0;
            return true;
        }
        case TTN_GETDISPINFOW: {
            auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
            if (info.uFlags & TTF_IDISHWND)
                return false;
            std::wstring tip = toWide(commandTexts(static_cast<UINT>(header.idFrom)).tip);
            lstrcpynW(info.szText, tip.c_str(), static_cast<int>(std::size(info.szText)));
            info.lpszText = info.szText;
            info.hinst = nullptr;
            result = 0;
            return true;
        }
        case TBN_HOTITEMCHANGE: {
            if (!toolBar_ || header.hwndFrom != toolBar_->hwnd())
                return false;
            // The fly-by prompt: the button under the mouse speaks in the status bar.
            const auto& hot = reinterpret_cast<const NMTBHOTITEM&>(header);
            if (hot.dwFlags & HICF_LEAVING)
                showIdleMessage();
            else
                showPrompt(static_cast<UINT>(hot.idNew));
            result = 0;
            return true;
        }
        default:
            return false;
    }
}

void HeldFrame::OnClose() {
    if (holder_ && holder_->get() == this) {
        // The application no longer knows this window; the object goes with it.
        holder_->release();
        ownsItself_ = true;
    }
    destroyWindow();
}

void HeldFrame::windowDetached() noexcept {
    if (ownsItself_)
        delete this;
}

}  // namespace ui

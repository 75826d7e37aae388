#include "app/win/advanced_frame.h"

#include "app/win/thumbnail_album.h"
#include "resources/resource.h"
#include "ui/module.h"
#include "ui/text.h"

namespace vx {

namespace {
constexpr DWORD kBarStyle = WS_CHILD | WS_VISIBLE;

HICON loadIcon(int width, int height) {
    return static_cast<HICON>(LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                         IMAGE_ICON, width, height, 0));
}
}  // namespace

CAdvancedFrame::CAdvancedFrame(std::unique_ptr<ui::WindowObject>* framePointer)
    : framePointer_(framePointer) {}

CAdvancedFrame::~CAdvancedFrame() {
    destroyWindow();
    if (bigIcon_)
        DestroyIcon(bigIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

bool CAdvancedFrame::handlesCommand(UINT id) {
    return id == ID_CREATE_ALBUM || id == ID_APP_EXIT;
}

bool CAdvancedFrame::OnCreate(CREATESTRUCTA& create) {
    if (!FrameWindow::OnCreate(create))
        return false;
    if (!toolBar_.create(hwnd_, IDC_ADVANCED_TOOLBAR, kBarStyle) ||
        !toolBar_.loadToolBar(IDR_ADVANCED_FRAME))
        return false;
    if (!statusBar_.create(hwnd_, kStatusBarId, kBarStyle) ||
        !statusBar_.setIndicators({ui::StatusBar::kMessagePane, ui::StatusBar::kCapsLock,
                                   ui::StatusBar::kNumLock, ui::StatusBar::kScrollLock}))
        return false;
    setToolBar(&toolBar_);
    setStatusBar(&statusBar_);
    statusBar_.setMessage(ui::loadString(kIdleMessage));
    updateMenuStates(GetMenu(hwnd_));

    ui::setWindowText(hwnd_, ui::loadString(IDS_ADVANCED_TITLE));
    bigIcon_ = loadIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    smallIcon_ = loadIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    RecalcLayout();
    return true;
}

void CAdvancedFrame::updateMenuStates(HMENU menu) const {
    if (!menu)
        return;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            updateMenuStates(sub);
            continue;
        }
        const UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1))
            continue;
        EnableMenuItem(menu, static_cast<UINT>(i),
                       MF_BYPOSITION | (handlesCommand(id) ? MF_ENABLED : MF_GRAYED));
    }
}

bool CAdvancedFrame::OnCommand(int id, int, HWND) {
    switch (id) {
        case ID_CREATE_ALBUM:
            createThumbnailAlbum(hwnd_);
            return true;
        case ID_APP_EXIT:
            OnClose();
            return true;
        default:
            return false;
    }
}

bool CAdvancedFrame::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_INITMENUPOPUP) {
        // A command without a handler is shown disabled, and Ctrl+N has no accelerator.
        updateMenuStates(reinterpret_cast<HMENU>(wp));
        return true;
    }
    return FrameWindow::OnMessage(msg, wp, lp, result);
}

void CAdvancedFrame::OnClose() {
    if (framePointer_ && framePointer_->get() == this) {
        framePointer_->release();
        ownsItself_ = true;
    }
    destroyWindow();
}

void CAdvancedFrame::windowDetached() noexcept {
    if (ownsItself_)
        delete this;
}

CAdvancedFrame* showAdvancedFrame(std::unique_ptr<ui::WindowObject>& framePointer) {
    if (framePointer && framePointer->hasWindow() && IsWindow(framePointer->hwnd())) {
        if (auto* open = dynamic_cast<CAdvancedFrame*>(framePointer.get())) {
            open->bringForward();
            return open;
        }
    }
    auto frame = std::make_unique<CAdvancedFrame>(&framePointer);
    if (!frame->LoadFrame(IDR_ADVANCED_FRAME, WS_OVERLAPPEDWINDOW, nullptr))
        return nullptr;
    framePointer = std::move(frame);
    auto* shown = static_cast<CAdvancedFrame*>(framePointer.get());
    shown->bringForward();
    return shown;
}

}  // namespace vx

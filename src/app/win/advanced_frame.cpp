#include "app/win/advanced_frame.h"

#include "app/win/thumbnail_album.h"
#include "resources/resource.h"
#include "ui/module.h"
#include "ui/text.h"

namespace vx {

bool CAdvancedFrame::handlesCommand(UINT id) {
    return id == ID_CREATE_ALBUM || id == ID_APP_EXIT;
}

bool CAdvancedFrame::OnCreate(CREATESTRUCTA& create) {
    if (!FrameWindow::OnCreate(create))
        return false;
    if (!createBars(toolBar_, IDC_ADVANCED_TOOLBAR, IDR_ADVANCED_FRAME, statusBar_))
        return false;
    updateMenuStates(GetMenu(hwnd_));

    ui::setWindowText(hwnd_, ui::loadString(IDS_ADVANCED_TITLE));
    setIcons(IDR_MAINFRAME);
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

CAdvancedFrame* showAdvancedFrame(std::unique_ptr<ui::WindowObject>& framePointer) {
    return ui::showHeldFrame<CAdvancedFrame>(framePointer, IDR_ADVANCED_FRAME, [&] {
        return std::make_unique<CAdvancedFrame>(&framePointer);
    });
}

}  // namespace vx

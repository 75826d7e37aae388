#include "history/win/history_splitter_wnd.h"

namespace vx {

CHistorySplitterWnd::CHistorySplitterWnd() {
    cxSplitter_ = cySplitter_ = 5;
    cxSplitterGap_ = cySplitterGap_ = 5;
    cxBorderShare_ = cyBorderShare_ = 0;
    cxBorder_ = cyBorder_ = 1;
}

RECT CHistorySplitterWnd::paneRect(int row, int column) const {
    RECT r = cellRect(row, column);
    // Panes that draw an edge of their own, and nested splitters, cover the one-pixel border.
    HWND pane = GetPane(row, column);
    if (pane && ((GetWindowLongA(pane, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) ||
                 dynamic_cast<ui::SplitterWindow*>(ui::Window::fromWindow(pane))))
        InflateRect(&r, 1, 1);
    return r;
}

void CHistorySplitterWnd::OnDrawSplitter(HDC dc, SplitType type, const RECT& rect) {
    if (type != SplitType::Border) {
        SplitterWindow::OnDrawSplitter(dc, type, rect);
        return;
    }
    auto fill = [dc](const RECT& part, COLORREF color) {
        COLORREF previous = SetBkColor(dc, color);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &part, nullptr, 0, nullptr);
        SetBkColor(dc, previous);
    };
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    fill(RECT{rect.left, rect.top, rect.right - 1, rect.top + 1}, shadow);
    fill(RECT{rect.left, rect.top, rect.left + 1, rect.bottom - 1}, shadow);
    fill(RECT{rect.right - 1, rect.top, rect.right, rect.bottom}, light);
    fill(RECT{rect.left, rect.bottom - 1, rect.right, rect.bottom}, light);
}

}  // namespace vx

#include "ui/splitter_window.h"

#include <windowsx.h>

#include <algorithm>

namespace ui {

namespace {

constexpr char kSplitterClass[] = "VexaroSplitter";

void draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    auto fill = [dc](int x, int y, int w, int h, COLORREF color) {
        RECT part{x, y, x + w, y + h};
        COLORREF previous = SetBkColor(dc, color);
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &part, nullptr, 0, nullptr);
        SetBkColor(dc, previous);
    };
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return;
    fill(r.left, r.top, w - 1, 1, topLeft);
    fill(r.left, r.top, 1, h - 1, topLeft);
    fill(r.right - 1, r.top, 1, h, bottomRight);
    fill(r.left, r.bottom - 1, w, 1, bottomRight);
}

}  // namespace

bool SplitterWindow::CreateStatic(HWND parent, int rows, int columns, DWORD style, UINT id) {
    if (hwnd_ || rows < 1 || columns < 1 || rows > 16 || columns > 16)
        return false;
    rows_.assign(rows, Track{});
    columns_.assign(columns, Track{});
    views_.assign(static_cast<std::size_t>(rows * columns), nullptr);
    if (!registerClass(kSplitterClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    RECT area{};
    GetClientRect(parent, &area);
    return createWindow(0, kSplitterClass, "", style | WS_CLIPCHILDREN, 0, 0, area.right,
                        area.bottom, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

bool SplitterWindow::CreateView(int row, int column, View& view, SIZE size) {
    if (!hwnd_ || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return false;
    rows_[row].ideal = std::max<int>(0, size.cy);
    columns_[column].ideal = std::max<int>(0, size.cx);
    // The view starts at its ideal size, so it is created at a sensible size before the first
    // layout.
    RECT start{0, 0, std::max<int>(0, size.cx), std::max<int>(0, size.cy)};
    if (!view.create(hwnd_, start, IdFromRowCol(row, column), WS_CHILD | WS_VISIBLE))
        return false;
    views_[static_cast<std::size_t>(row * columnCount() + column)] = &view;
    return true;
}

HWND SplitterWindow::GetPane(int row, int column) const {
    if (!hwnd_ || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return nullptr;
    return GetDlgItem(hwnd_, static_cast<int>(IdFromRowCol(row, column)));
}

View* SplitterWindow::paneView(int row, int column) const {
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return nullptr;
    View* view = views_[static_cast<std::size_t>(row * columnCount() + column)];
    return view && view->hasWindow() ? view : nullptr;
}

void SplitterWindow::SetColumnInfo(int column, int ideal) {
    if (column >= 0 && column < columnCount())
        columns_[column].ideal = std::max(0, ideal);
}

void SplitterWindow::SetRowInfo(int row, int ideal) {
    if (row >= 0 && row < rowCount())
        rows_[row].ideal = std::max(0, ideal);
}

int SplitterWindow::columnWidth(int column) const {
    return column >= 0 && column < columnCount() ? columns_[column].current : 0;
}

int SplitterWindow::rowHeight(int row) const {
    return row >= 0 && row < rowCount() ? rows_[row].current : 0;
}

void SplitterWindow::layoutTracks(std::vector<Track>& tracks, int space, int gap) {
    // Every track but the last gets its ideal size while there is room; the last takes the rest.
    int left = std::max(0, space);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const bool last = i + 1 == tracks.size();
        int size = last ? left : std::min(tracks[i].ideal, left);
        tracks[i].current = std::max(0, size);
        left -= size;
        if (!last)
            left = std::max(0, left - gap);
    }
}

RECT SplitterWindow::cellRect(int row, int column) const {
    int x = cxBorder_;
    for (int c = 0; c < column; ++c)
        x += columns_[c].current + cxSplitterGap_;
    int y = cyBorder_;
    for (int r = 0; r < row; ++r)
        y += rows_[r].current + cySplitterGap_;
    return RECT{x, y, x + columns_[column].current, y + rows_[row].current};
}

RECT SplitterWindow::paneRect(int row, int column) const {
    RECT r = cellRect(row, column);
    HWND pane = GetPane(row, column);
    if (pane && (GetWindowLongA(pane, GWL_EXSTYLE) & WS_EX_CLIENTEDGE))
        InflateRect(&r, cxBorder_, cyBorder_);
    return r;
}

void SplitterWindow::RecalcLayout() {
    if (!hwnd_)
        return;
    RECT client{};
    GetClientRect(hwnd_, &client);
    layoutTracks(columns_, client.right - 2 * cxBorder_, cxSplitterGap_);
    layoutTracks(rows_, client.bottom - 2 * cyBorder_, cySplitterGap_);
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            HWND pane = GetPane(r, c);
            if (!pane)
                continue;
            RECT place = paneRect(r, c);
            SetWindowPos(pane, nullptr, place.left, place.top, place.right - place.left,
                         place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void SplitterWindow::OnDrawSplitter(HDC dc, SplitType type, const RECT& rect) {
    switch (type) {
        case SplitType::Border: {
            RECT r = rect;
            draw3dRect(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
            InflateRect(&r, -1, -1);
            draw3dRect(dc, r, GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_BTNFACE));
            break;
        }
        case SplitType::Box:
        case SplitType::Bar:
        case SplitType::Intersection:
            FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
            break;
    }
}

void SplitterWindow::paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Bars first: the whole gap between two panes' borders.
    for (int c = 0; c + 1 < columnCount(); ++c) {
        RECT left = cellRect(0, c);
        RECT bar{left.right + cxBorder_, client.top, left.right + cxSplitterGap_ - cxBorder_,
                 client.bottom};
        if (bar.right > bar.left)
            OnDrawSplitter(dc, SplitType::Bar, bar);
    }
    for (int r = 0; r + 1 < rowCount(); ++r) {
        RECT top = cellRect(r, 0);
        RECT bar{client.left, top.bottom + cyBorder_, client.right,
                 top.bottom + cySplitterGap_ - cyBorder_};
        if (bar.bottom > bar.top)
            OnDrawSplitter(dc, SplitType::Bar, bar);
    }
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            RECT border = cellRect(r, c);
            InflateRect(&border, cxBorder_, cyBorder_);
            OnDrawSplitter(dc, SplitType::Border, border);
        }
    }
}

int SplitterWindow::columnBarAt(int x) const {
    for (int c = 0; c + 1 < columnCount(); ++c) {
        RECT left = cellRect(0, c);
        if (x >= left.right && x < left.right + cxSplitterGap_)
            return c;
    }
    return -1;
}

int SplitterWindow::rowBarAt(int y) const {
    for (int r = 0; r + 1 < rowCount(); ++r) {
        RECT top = cellRect(r, 0);
        if (y >= top.bottom && y < top.bottom + cySplitterGap_)
            return r;
    }
    return -1;
}

bool SplitterWindow::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_SIZE:
            RecalcLayout();
            return true;
        case WM_ERASEBKGND:
            result = 1;
            return true;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
            paint(dc);
            EndPaint(hwnd_, &ps);
            return true;
        }
        case WM_SETCURSOR: {
            if (reinterpret_cast<HWND>(wp) != hwnd_ || LOWORD(lp) != HTCLIENT)
                return false;
            POINT at{};
            GetCursorPos(&at);
            ScreenToClient(hwnd_, &at);
            const bool column = columnBarAt(at.x) >= 0;
            const bool row = rowBarAt(at.y) >= 0;
            if (!column && !row)
                return false;
            // IDC_SIZEWE, IDC_SIZENS
            SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(column ? 32644 : 32645)));
            result = TRUE;
            return true;
        }
        case WM_LBUTTONDOWN: {
            const int x = GET_X_LPARAM(lp);
            const int y = GET_Y_LPARAM(lp);
            dragColumn_ = columnBarAt(x);
            dragRow_ = dragColumn_ < 0 ? rowBarAt(y) : -1;
            if (dragColumn_ >= 0)
                dragOffset_ = x - cellRect(0, dragColumn_).right;
            else if (dragRow_ >= 0)
                dragOffset_ = y - cellRect(dragRow_, 0).bottom;
            else
                return true;
            SetCapture(hwnd_);
            return true;
        }
        case WM_MOUSEMOVE: {
            if (GetCapture() != hwnd_)
                return false;
            if (dragColumn_ >= 0) {
                const int right = GET_X_LPARAM(lp) - dragOffset_;
                columns_[dragColumn_].ideal =
                    std::max(0, right - static_cast<int>(cellRect(0, dragColumn_).left));
            } else if (dragRow_ >= 0) {
                const int bottom = GET_Y_LPARAM(lp) - dragOffset_;
                rows_[dragRow_].ideal =
                    std::max(0, bottom - static_cast<int>(cellRect(dragRow_, 0).top));
            }
            RecalcLayout();
            return true;
        }
        case WM_LBUTTONUP:
        case WM_CANCELMODE:
        case WM_CAPTURECHANGED:
            if (msg != WM_CAPTURECHANGED && GetCapture() == hwnd_)
                ReleaseCapture();
            dragColumn_ = -1;
            dragRow_ = -1;
            return msg != WM_CAPTURECHANGED;
        default:
            return false;
    }
}

}  // namespace ui

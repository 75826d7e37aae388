#include "history/win/history_tree_view.h"

#include <commctrl.h>

#include <vector>

#include "resources/resource.h"
#include "ui/module.h"
#include "ui/splitter_window.h"

namespace vx {

namespace {

void fill(HDC dc, const RECT& rect, COLORREF color) {
    COLORREF previous = SetBkColor(dc, color);
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, previous);
}

// A raised 3D frame: highlight at top and left, shadow at bottom and right.
void raisedFrame(HDC dc, const RECT& r) {
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF dark = GetSysColor(COLOR_BTNSHADOW);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return;
    fill(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, light);
    fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, light);
    fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, dark);
    fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, dark);
}

}  // namespace

CHistoryTreeView::CHistoryTreeView(InstallEnvironment& environment, FileSystem& files)
    : store_(environment, files) {}

CHistoryTreeView::~CHistoryTreeView() {
    destroyWindow();
    if (images_)
        ImageList_Destroy(images_);
}

HWND CHistoryTreeView::tree() const {
    return hwnd_ ? tree_ : nullptr;
}

bool CHistoryTreeView::OnCreate(CREATESTRUCTA& create) {
    caption_ = ui::loadString(IDS_HISTORY_CAPTION);
    HWND control = CreateWindowExA(
        0, WC_TREEVIEWA, "",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
            TVS_SHOWSELALWAYS,
        0, kCaptionHeight, create.cx, create.cy > kCaptionHeight ? create.cy - kCaptionHeight : 0,
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_HISTORY_TREE)),
        ui::resourceModule(), nullptr);
    if (!control)
        return false;
    tree_ = control;
    images_ = ImageList_LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDB_HISTORY_TREE), 16, 0,
                                   RGB(0, 128, 128), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (images_)
        SendMessageA(control, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_));
    Rebuild();
    return true;
}

HTREEITEM CHistoryTreeView::insertItem(HWND control, HTREEITEM parent, const std::string& text,
                                       int image, LPARAM level) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.lParam = level;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(control, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

void CHistoryTreeView::Rebuild() {
    HWND control = tree();
    if (!control)
        return;
    // Deleting the selected item reports a selection change; the old tree's items say nothing
    // about the new history, so no pane follows them.
    rebuilding_ = true;
    SendMessageA(control, WM_SETREDRAW, FALSE, 0);
    SendMessageA(control, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    const std::string rootText = "Download History";
    HTREEITEM root = insertItem(control, TVI_ROOT, rootText, 0, 0);

    store_.Load();
    // The days and pages come from this one load, grouped once: the window shows a consistent
    // picture of the files as they were read, whatever a running session appends meanwhile.
    history_ = HistoryView(store_);
    // Every day first, then the pages of each: a tree control may check each parent handle by
    // searching its items in the order they were inserted (Wine's does), and the days then stand
    // near the front, whatever the number of pages.
    std::vector<HTREEITEM> dayItems;
    dayItems.reserve(history_.days().size());
    for (const std::string& day : history_.days())
        dayItems.push_back(insertItem(control, root, day, 1, 1));
    for (size_t d = 0; d < dayItems.size(); ++d) {
        for (const HistoryRecord* page : history_.pagesOf(history_.days()[d]))
            insertItem(control, dayItems[d], page->pageAddress, 2, 2);
        SendMessageA(control, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(dayItems[d]));
    }
    SendMessageA(control, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    SendMessageA(control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control, nullptr, TRUE);
    rebuilding_ = false;
}

void CHistoryTreeView::selectionChanged(HTREEITEM item) {
    if (!item)
        return;
    char text[1024] = {};
    TVITEMA data{};
    data.mask = TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = sizeof text;
    if (!SendMessageA(tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data)))
        return;
    selectedText = text;
    auto* splitter = dynamic_cast<ui::SplitterWindow*>(ui::Window::fromWindow(GetParent(hwnd_)));
    if (HWND detail = splitter ? splitter->GetPane(0, 1) : nullptr)
        SendMessageA(detail, WM_HISTORY_SHOWLEVEL, static_cast<WPARAM>(data.lParam), 0);
}

bool CHistoryTreeView::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_HISTORY_TREE)
        return false;
    if (header.code != TVN_SELCHANGEDA && header.code != TVN_SELCHANGEDW)
        return false;
    // Both forms carry the item handle at the same place.
    if (!rebuilding_)
        selectionChanged(reinterpret_cast<NMTREEVIEWA&>(header).itemNew.hItem);
    result = 0;
    return true;
}

bool CHistoryTreeView::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    if (msg == WM_SIZE) {
        const int cx = LOWORD(lp);
        const int cy = HIWORD(lp);
        if (HWND control = tree())
            SetWindowPos(control, nullptr, 0, kCaptionHeight, cx,
                         cy > kCaptionHeight ? cy - kCaptionHeight : 0,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd_, nullptr, FALSE);
        return true;
    }
    if (msg == WM_SETFOCUS) {
        if (HWND control = tree())
            SetFocus(control);
        return true;
    }
    return View::OnMessage(msg, wp, lp, result);
}

void CHistoryTreeView::OnDraw(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT band{client.left, client.top, client.right, client.top + kCaptionHeight};
    fill(dc, band, GetSysColor(COLOR_BTNFACE));
    raisedFrame(dc, band);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextA(dc, caption_.c_str(), static_cast<int>(caption_.size()), &band,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    RECT rest{client.left, band.bottom, client.right, client.bottom};
    if (rest.bottom > rest.top) {
        fill(dc, rest, RGB(255, 255, 255));
        raisedFrame(dc, rest);
    }
}

}  // namespace vx

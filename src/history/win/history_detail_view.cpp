#include "history/win/history_detail_view.h"

#include <commctrl.h>

#include "base/file_system.h"
#include "history/history_view.h"
#include "history/win/history_tree_view.h"
#include "resources/resource.h"
#include "ui/module.h"
#include "ui/splitter_window.h"

namespace vx {

namespace {

struct Column {
    const char* title;
    int width;
};
constexpr Column kDayColumn{"Download History", 300};
constexpr Column kFileColumns[] = {
    {"Filename", 120}, {"Size", 70}, {"Path", 240}, {"Download URl", 300}};

// Names compared as the list compares item texts: without regard to case, by the system's
// rules for the ANSI code page.
std::string systemFoldedName(std::string_view name) {
    std::string key(name);
    if (!key.empty())
        CharLowerBuffA(key.data(), static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace

CHistoryDetailView::CHistoryDetailView(FileSystem& files) : files_(files) {}

CHistoryDetailView::~CHistoryDetailView() {
    destroyWindow();
    if (images_)
        ImageList_Destroy(images_);
}

HWND CHistoryDetailView::list() const {
    return hwnd_ ? GetDlgItem(hwnd_, IDC_HISTORY_LIST) : nullptr;
}

bool CHistoryDetailView::OnCreate(CREATESTRUCTA& create) {
    HWND control = CreateWindowExA(
        0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 0, 0, create.cx,
        create.cy, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_HISTORY_LIST)),
        ui::resourceModule(), nullptr);
    if (!control)
        return false;
    const LRESULT extended = SendMessageA(control, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 extended | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    images_ = ImageList_LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDB_HISTORY_TREE), 16, 0,
                                   RGB(0, 128, 128), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (images_)
        SendMessageA(control, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
    auto* splitter = dynamic_cast<ui::SplitterWindow*>(ui::Window::fromWindow(GetParent(hwnd_)));
    treeView_ = splitter ? dynamic_cast<CHistoryTreeView*>(splitter->paneView(0, 0)) : nullptr;
    resetColumns(false);
    ShowLevel(0);
    return true;
}

void CHistoryDetailView::resetColumns(bool fileColumns) {
    HWND control = list();
    if (!control)
        return;
    HWND header = reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0));
    for (int i = header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) - 1 : -1;
         i >= 0; --i)
        SendMessageA(control, LVM_DELETECOLUMN, i, 0);
    SendMessageA(control, LVM_DELETEALLITEMS, 0, 0);
    auto insert = [control](int index, const Column& column) {
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        c.fmt = LVCFMT_LEFT;
        c.cx = column.width;
        c.pszText = const_cast<char*>(column.title);
        c.iSubItem = index;
        SendMessageA(control, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&c));
    };
    if (!fileColumns) {
        insert(0, kDayColumn);
        return;
    }
    for (int i = 0; i < 4; ++i)
        insert(i, kFileColumns[i]);
}

void CHistoryDetailView::addRow(const std::string& text, int image) {
    HWND control = list();
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image;
    SendMessageA(control, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

LRESULT CHistoryDetailView::ShowLevel(int level) {
    if (!treeView_)
        return -1;
    HWND control = list();
    level_ = level;
    SendMessageA(control, WM_SETREDRAW, FALSE, 0);
    const HistoryView& history = treeView_->history();
    if (level == 0) {
        resetColumns(false);
        for (const std::string& day : history.days())
            addRow(day, 1);
    } else if (level == 1) {
        resetColumns(false);
        for (const HistoryRecord* page : history.pagesOf(treeView_->selectedText))
            addRow(page->pageAddress, 2);
    } else {
        resetColumns(true);
        if (const HistoryRecord* page = history.page(treeView_->selectedText)) {
            auto sizeOf = [this](const std::string& path) { return files_.fileSize(path); };
            for (const HistoryFileRow& row : historyFileRows(*page, sizeOf, systemFoldedName)) {
                const int index = static_cast<int>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0));
                addRow(row.name, 3);
                const std::string* texts[] = {&row.size, &row.path, &row.address};
                for (int column = 1; column <= 3; ++column) {
                    LVITEMA sub{};
                    sub.iSubItem = column;
                    sub.pszText = const_cast<char*>(texts[column - 1]->c_str());
                    SendMessageA(control, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
                }
            }
        }
    }
    SendMessageA(control, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control, nullptr, TRUE);
    return 0;
}

void CHistoryDetailView::openSelectedRow() {
    if (level_ >= 2 || !treeView_)
        return;
    HWND control = list();
    const int row = static_cast<int>(
        SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0)
        return;
    char text[1024] = {};
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(control, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    treeView_->selectedText = text;
    ShowLevel(level_ + 1);
}

bool CHistoryDetailView::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_HISTORY_LIST || header.code != static_cast<UINT>(NM_DBLCLK))
        return false;
    openSelectedRow();
    result = 0;
    return true;
}

bool CHistoryDetailView::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
        case WM_HISTORY_SHOWLEVEL:
            result = ShowLevel(static_cast<int>(wp));
            return true;
        case WM_SIZE:
            if (HWND control = list())
                SetWindowPos(control, nullptr, 0, 0, LOWORD(lp), HIWORD(lp),
                             SWP_NOZORDER | SWP_NOACTIVATE);
            return true;
        case WM_SETFOCUS:
            if (HWND control = list())
                SetFocus(control);
            return true;
        default:
            return View::OnMessage(msg, wp, lp, result);
    }
}

}  // namespace vx

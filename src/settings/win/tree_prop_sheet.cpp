#include "settings/win/tree_prop_sheet.h"

#include <climits>

#include "ui/controls.h"

namespace vx {

namespace {

RECT childRect(HWND child, HWND parent) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int itemImage(HWND tree, HTREEITEM item) {
    TVITEMA data{};
    data.mask = TVIF_IMAGE | TVIF_HANDLE;
    data.hItem = item;
    if (!SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data)))
        return -1;
    return data.iImage;
}

// Appends the images of `from` to `to` in order; false when one could not be copied.
bool copyImages(HIMAGELIST from, HIMAGELIST to) {
    bool complete = true;
    int count = from ? ImageList_GetImageCount(from) : 0;
    for (int i = 0; i < count; ++i) {
        HICON icon = ImageList_GetIcon(from, i, ILD_NORMAL);
        if (!icon || ImageList_AddIcon(to, icon) < 0)
            complete = false;
        if (icon)
            DestroyIcon(icon);
    }
    return complete;
}

// Centres `window` over its owner when the owner is shown, otherwise in the work area of the
// monitor it is on.
void centreWindow(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    RECT area{};
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info))
            return;
        area = info.rcWork;
    }
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    // Never off the top-left of the screen, where the caption could not be reached.
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info)) {
        if (x + width > info.rcWork.right)
            x = info.rcWork.right - width;
        if (y + height > info.rcWork.bottom)
            y = info.rcWork.bottom - height;
        if (x < info.rcWork.left)
            x = info.rcWork.left;
        if (y < info.rcWork.top)
            y = info.rcWork.top;
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

CTreePropSheet::CTreePropSheet(std::string caption, HWND parent, UINT selectPage)
    : PropSheet(std::move(caption), parent, selectPage) {}

CTreePropSheet::~CTreePropSheet() {
    destroyWindow();
    releaseImages();
    if (defaultImages_)
        ImageList_Destroy(defaultImages_);
}

bool CTreePropSheet::SetTreeViewMode(bool treeView, bool pageCaption, bool treeImages) {
    if (hwnd())
        return false;
    treeView_ = treeView;
    pageCaption_ = pageCaption;
    treeImages_ = treeImages;
    return true;
}

bool CTreePropSheet::SetTreeWidth(int width) {
    if (hwnd() || width < 0)
        return false;
    treeWidth_ = width;
    return true;
}

bool CTreePropSheet::SetTreeDefaultImages(HIMAGELIST images) {
    if (!images || ImageList_GetImageCount(images) != 2)
        return false;
    HIMAGELIST copy = ImageList_Duplicate(images);
    if (!copy)
        return false;
    if (defaultImages_)
        ImageList_Destroy(defaultImages_);
    defaultImages_ = copy;
    if (tree_) {
        fillTree();
        selectActivePageItem();
    }
    return true;
}

HTREEITEM CTreePropSheet::treeItem(int item) const {
    return item >= 0 && item < static_cast<int>(handles_.size()) ? handles_[item] : nullptr;
}

int CTreePropSheet::itemIndex(HTREEITEM item) const {
    for (int i = 0; i < static_cast<int>(handles_.size()); ++i) {
        if (handles_[i] == item && item)
            return i;
    }
    return -1;
}

void CTreePropSheet::releaseImages() {
    if (treeImageList_) {
        ImageList_Destroy(treeImageList_);
        treeImageList_ = nullptr;
    }
}

void CTreePropSheet::OnPreInit() {
    if (!treeView_)
        return;
    // One row of tabs: the hidden tab control then keeps the page area the caption bar expects.
    if (HWND tab = tabControl()) {
        LONG_PTR style = GetWindowLongPtrA(tab, GWL_STYLE);
        if (style & TCS_MULTILINE)
            SetWindowLongPtrA(tab, GWL_STYLE, style & ~static_cast<LONG_PTR>(TCS_MULTILINE));
    }
    int width = 16;
    int height = 16;
    if (defaultImages_)
        ImageList_GetIconSize(defaultImages_, &width, &height);
    releaseImages();
    treeImageList_ = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 0, 1);
}

int CTreePropSheet::measureCaptionHeight() const {
    HWND probe = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD, 0, 0, 200, 100, hwnd(), nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!probe)
        return GetSystemMetrics(SM_CYCAPTION);
    SendMessageA(probe, WM_SETFONT, SendMessageA(hwnd(), WM_GETFONT, 0, 0), FALSE);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    char empty[] = "";
    item.pszText = empty;
    SendMessageA(probe, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    RECT rect{};
    int height = 0;
    if (SendMessageA(probe, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)))
        height = rect.bottom - rect.top;
    DestroyWindow(probe);
    return height > 0 ? height : GetSystemMetrics(SM_CYCAPTION);
}

void CTreePropSheet::moveChildren(int dx, int dy, int belowY) {
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect = childRect(child, hwnd());
        if (rect.top < belowY)
            continue;
        SetWindowPos(child, nullptr, rect.left + dx, rect.top + dy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CTreePropSheet::OnInitDialog() {
    if (!treeView_)
        return;
    HWND sheet = hwnd();
    HWND tab = tabControl();
    if (!tab)
        return;
    RECT tabRect = childRect(tab, sheet);
    ShowWindow(tab, SW_HIDE);
    EnableWindow(tab, FALSE);

    int captionHeight = measureCaptionHeight();
    frame_.create(sheet, tabRect, pageCaption_, captionHeight);

    RECT window{};
    GetWindowRect(sheet, &window);
    int width = window.right - window.left + treeWidth_;
    int height = window.bottom - window.top;
    moveChildren(treeWidth_, 0, INT_MIN);

    RECT treeRect{tabRect.left, tabRect.top, tabRect.left + treeWidth_ - 5, tabRect.bottom};
    if (!pageCaption_ && frame_.hasWindow()) {
        // No caption bar: the frame loses the tab row's height, and what lies below it moves up.
        RECT frameRect = childRect(frame_.hwnd(), sheet);
        moveChildren(0, -captionHeight, frameRect.bottom);
        SetWindowPos(frame_.hwnd(), nullptr, 0, 0, frameRect.right - frameRect.left,
                     frameRect.bottom - frameRect.top - captionHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        treeRect.bottom -= captionHeight;
        height -= captionHeight;
    }
    SetWindowPos(sheet, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    centreWindow(sheet);

    if (frame_.hasWindow())
        SetWindowPos(frame_.hwnd(), HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    createTree(treeRect);
    fillTree();
    selectActivePageItem();
    if (ui::PropertyPage* page = GetActivePage())
        placePage(page->hwnd());
}

void CTreePropSheet::createTree(const RECT& rect) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_GROUP | TVS_HASBUTTONS | TVS_HASLINES |
                  TVS_LINESATROOT | TVS_SHOWSELALWAYS;
    tree_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "PageTree", style, rect.left, rect.top,
                            rect.right - rect.left, rect.bottom - rect.top, hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)),
                            GetModuleHandleA(nullptr), nullptr);
    if (!tree_)
        return;
    SendMessageA(tree_, WM_SETFONT, SendMessageA(hwnd(), WM_GETFONT, 0, 0), FALSE);
    // First in the tab order.
    SetWindowPos(tree_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (treeImages_ && treeImageList_)
        SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL,
                     reinterpret_cast<LPARAM>(treeImageList_));
}

void CTreePropSheet::fillTree() {
    if (!tree_)
        return;
    bool wasChanging = changing_;
    changing_ = true;
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    handles_.clear();
    items_.clear();

    HWND tab = tabControl();
    pageIconCount_ = 0;
    bool images = treeImages_ && treeImageList_;
    if (images) {
        ImageList_RemoveAll(treeImageList_);
        copyImages(reinterpret_cast<HIMAGELIST>(SendMessageA(tab, TCM_GETIMAGELIST, 0, 0)),
                   treeImageList_);
        pageIconCount_ = ImageList_GetImageCount(treeImageList_);
        if (defaultImages_)
            copyImages(defaultImages_, treeImageList_);
    }
    bool defaults =
        images && defaultImages_ && ImageList_GetImageCount(treeImageList_) == pageIconCount_ + 2;

    std::vector<std::string> titles;
    std::vector<int> icons;
    int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char buffer[1024] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        item.iImage = -1;
        if (!SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item)))
            buffer[0] = '\0';
        titles.emplace_back(buffer);
        icons.push_back(item.iImage);
    }

    items_ = buildPageTree(titles);
    for (const PageTreeItem& item : items_) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = item.parent >= 0 ? handles_[item.parent] : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(item.text.c_str());
        insert.item.lParam = item.page;
        if (images) {
            int image = item.page >= 0 ? pageItemImage(icons[item.page], pageIconCount_, defaults)
                                       : groupItemImage(pageIconCount_, defaults);
            insert.item.mask |= TVIF_IMAGE | TVIF_SELECTEDIMAGE;
            // -1 would ask the parent for the image each time it is drawn.
            if (image < 0)
                image = I_IMAGENONE;
            insert.item.iImage = image;
            insert.item.iSelectedImage = image;
        }
        handles_.push_back(reinterpret_cast<HTREEITEM>(
            SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].parent >= 0)
            SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND,
                         reinterpret_cast<LPARAM>(handles_[items_[i].parent]));
    }
    changing_ = wasChanging;
}

void CTreePropSheet::selectActivePageItem() {
    if (!tree_)
        return;
    HTREEITEM item = treeItem(itemOfPage(items_, GetActiveIndex()));
    if (!item)
        return;
    bool wasChanging = changing_;
    changing_ = true;
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    changing_ = wasChanging;
    onSelectionChanged(item);
}

void CTreePropSheet::placePage(HWND page) const {
    if (!page || !frame_.hasWindow())
        return;
    RECT area = frame_.pageArea();
    MapWindowPoints(frame_.hwnd(), hwnd(), reinterpret_cast<POINT*>(&area), 2);
    SetWindowPos(page, tree_ ? tree_ : HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE);
}

void CTreePropSheet::OnPageActivated(ui::PropertyPage& page) {
    placePage(page.hwnd());
    if (changing_ || !tree_)
        return;
    // The page was chosen some other way than through the tree: the tree follows.
    HTREEITEM item = treeItem(itemOfPage(items_, GetPageIndex(page)));
    if (!item)
        return;
    changing_ = true;
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    changing_ = false;
    onSelectionChanged(item);
}

bool CTreePropSheet::onSelectionChanging(HTREEITEM item) {
    if (changing_)
        return false;
    int index = itemIndex(item);
    if (index < 0)
        return false;
    changing_ = true;
    bool refused = false;
    int page = items_[index].page;
    if (page >= 0 && page < GetPageCount()) {
        if (page == GetActiveIndex()) {
            // Back from an item without a page: the hidden page shows again.
            HWND window = GetPage(page)->hwnd();
            if (window && !IsWindowVisible(window)) {
                placePage(window);
                ShowWindow(window, SW_SHOW);
            }
        } else {
            refused = !SetActivePage(page);
        }
    } else {
        HWND current = reinterpret_cast<HWND>(SendMessageA(hwnd(), PSM_GETCURRENTPAGEHWND, 0, 0));
        if (current && IsWindowVisible(current)) {
            PSHNOTIFY notify{};
            notify.hdr.hwndFrom = hwnd();
            notify.hdr.idFrom = 0;
            notify.hdr.code = PSN_KILLACTIVE;
            if (SendMessageA(current, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify)))
                refused = true;
            else
                ShowWindow(current, SW_HIDE);
        }
    }
    changing_ = false;
    return refused;
}

void CTreePropSheet::onSelectionChanged(HTREEITEM item) {
    if (!item || !tree_)
        return;
    frame_.setCaption(ui::treeItemText(tree_, item), treeImageList(),
                      treeImageList() ? itemImage(tree_, item) : -1);
    if (GetFocus() != tree_ && IsWindowVisible(tree_))
        SetFocus(tree_);
}

void CTreePropSheet::selectAdjacentItem(bool backwards) {
    if (!tree_)
        return;
    auto current = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    HTREEITEM next = treeItem(stepInTreeOrder(items_, itemIndex(current), backwards));
    if (!next || next == current)
        return;
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(next));
    SendMessageA(tree_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(next));
}

bool CTreePropSheet::OnMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (!treeView_ || !tree_)
        return false;
    switch (msg) {
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (!header || header->hwndFrom != tree_)
                return false;
            auto* tree = reinterpret_cast<NMTREEVIEWA*>(lp);
            if (header->code == TVN_SELCHANGINGA || header->code == TVN_SELCHANGINGW) {
                result = onSelectionChanging(tree->itemNew.hItem) ? TRUE : FALSE;
                return true;
            }
            if (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW) {
                onSelectionChanged(tree->itemNew.hItem);
                result = 0;
                return true;
            }
            return false;
        }
        case PSM_ISDIALOGMESSAGE: {
            // Ctrl+Tab steps through the tree rather than the hidden tabs.
            auto* message = reinterpret_cast<MSG*>(lp);
            if (!message || message->message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0)
                return false;
            if (message->hwnd != hwnd() && !IsChild(hwnd(), message->hwnd))
                return false;
            bool backwards;
            if (message->wParam == VK_TAB)
                backwards = GetKeyState(VK_SHIFT) < 0;
            else if (message->wParam == VK_NEXT)
                backwards = false;
            else if (message->wParam == VK_PRIOR)
                backwards = true;
            else
                return false;
            selectAdjacentItem(backwards);
            result = TRUE;
            return true;
        }
        default:
            return false;
    }
}

void CTreePropSheet::OnPagesChanged() {
    if (!tree_)
        return;
    fillTree();
    selectActivePageItem();
    if (ui::PropertyPage* page = GetActivePage())
        placePage(page->hwnd());
}

void CTreePropSheet::OnDestroy() {
    if (tree_) {
        DestroyWindow(tree_);
        tree_ = nullptr;
    }
    frame_.destroy();
    handles_.clear();
    items_.clear();
    releaseImages();
}

}  // namespace vx

#pragma once
// A property sheet whose pages are chosen from a tree at its left instead of from tabs. It takes
// any pages, builds the tree from their titles ("Group::Page" makes a level), and shows the
// active page inside a frame with a caption bar.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "settings/tree_path.h"
#include "settings/win/page_frame.h"
#include "ui/property_sheet.h"

namespace vx {

class CTreePropSheet : public ui::PropSheet {
  public:
    static constexpr int kTreeId = 32494;
    static constexpr int kDefaultTreeWidth = 150;

    explicit CTreePropSheet(std::string caption = {}, HWND parent = nullptr, UINT selectPage = 0);
    ~CTreePropSheet() override;

    // Only before the sheet's window exists; false afterwards.
    bool SetTreeViewMode(bool treeView = true, bool pageCaption = false, bool treeImages = false);
    bool SetTreeWidth(int width);
    // Exactly two images (the first for items without a page, the second for pages whose icon
    // is not valid); any other list is refused. The images are copied.
    bool SetTreeDefaultImages(HIMAGELIST images);

    bool isTreeViewMode() const { return treeView_; }
    bool showsPageCaption() const { return pageCaption_; }
    bool usesTreeImages() const { return treeImages_; }
    int treeWidth() const { return treeWidth_; }
    bool hasDefaultImages() const { return defaultImages_ != nullptr; }

    HWND GetPageTreeControl() const { return tree_; }
    const PageFrame& pageFrame() const { return frame_; }
    PageFrame& pageFrame() { return frame_; }
    HIMAGELIST treeImageList() const { return treeImages_ ? treeImageList_ : nullptr; }
    // The tree items of the open sheet, as built from the page titles.
    const std::vector<PageTreeItem>& treeItems() const { return items_; }
    HTREEITEM treeItem(int item) const;

    // Selects the next or previous tree item (Ctrl+Tab, Ctrl+Shift+Tab), wrapping around.
    void selectAdjacentItem(bool backwards);

  protected:
    void OnPreInit() override;
    void OnInitDialog() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void OnPagesChanged() override;
    void OnDestroy() override;
    void OnPageActivated(ui::PropertyPage& page) override;

  private:
    int measureCaptionHeight() const;
    void moveChildren(int dx, int dy, int belowY);
    void createTree(const RECT& rect);
    void fillTree();
    void selectActivePageItem();
    void placePage(HWND page) const;
    // TVN_SELCHANGING: true refuses the change.
    bool onSelectionChanging(HTREEITEM item);
    void onSelectionChanged(HTREEITEM item);
    int itemIndex(HTREEITEM item) const;
    void releaseImages();

    bool treeView_ = true;
    bool pageCaption_ = true;
    bool treeImages_ = true;
    int treeWidth_ = kDefaultTreeWidth;
    HWND tree_ = nullptr;
    PageFrame frame_;
    HIMAGELIST treeImageList_ = nullptr;
    HIMAGELIST defaultImages_ = nullptr;
    int pageIconCount_ = 0;
    std::vector<PageTreeItem> items_;
    std::vector<HTREEITEM> handles_;
    // Set while a page change is in progress; tree notifications are ignored meanwhile.
    bool changing_ = false;
};

}  // namespace vx

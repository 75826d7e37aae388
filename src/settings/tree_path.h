#pragma once
// The page tree of a settings sheet without any window: page titles split into tree levels, the
// items that a list of titles makes, their order for keyboard stepping, and the image each
// item shows.

#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Splits a page title into its tree levels at "::". "\::" stands for a literal "::" and "\\"
// for one backslash; any other backslash is kept as it is. A title always gives at least one
// level (possibly empty).
std::vector<std::string> splitTreePath(std::string_view title);

struct PageTreeItem {
    std::string text;
    int parent = -1;  // index of the parent item, -1 at the top level
    int page = -1;    // index of the page shown by this item, -1 for an item without a page
};

// The items for pages titled `titles` (page i has titles[i]), in creation order. Each level is
// looked up by exact text among the children of the level above and created when missing. A
// title whose item already shows an earlier page gets an item of its own, so every page stays
// reachable.
std::vector<PageTreeItem> buildPageTree(const std::vector<std::string>& titles);

// The items in tree order: each item followed by its children (in creation order) before its
// next sibling.
std::vector<int> pageTreeOrder(const std::vector<PageTreeItem>& items);

// The item after (or before) `current` in tree order, wrapping around at both ends; -1 when
// there are no items. An unknown `current` gives the first (or last) item.
int stepInTreeOrder(const std::vector<PageTreeItem>& items, int current, bool backwards);

// The item showing `page`, -1 when none does.
int itemOfPage(const std::vector<PageTreeItem>& items, int page);

// Tree images: the page icons come first (`iconCount` of them), then, when present, the two
// default images. A page item shows its page's icon, or when that index is not valid the second
// default image, or nothing (-1). An item without a page shows the first default image, or
// nothing.
int pageItemImage(int iconIndex, int iconCount, bool hasDefaultImages);
int groupItemImage(int iconCount, bool hasDefaultImages);

}  // namespace vx

#pragma once
// Item texts of the common controls, as ANSI byte strings.

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace ui {

// The text of `column` in `row` of a list view, whatever its length.
std::string listItemText(HWND list, int row, int column);

// The text of a tree-view item; empty when the item cannot be read.
std::string treeItemText(HWND tree, HTREEITEM item);

}  // namespace ui

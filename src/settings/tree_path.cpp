#include "settings/tree_path.h"

#include <algorithm>

#include "base/mbcs.h"

namespace vx {

std::vector<std::string> splitTreePath(std::string_view title) {
    std::vector<std::string> levels(1);
    const std::string text(title);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t step = mbcs::charLength(text, pos);
        char c = text[pos];
        if (step == 1 && c == '\\' && text.compare(pos + 1, 2, "::") == 0) {
            levels.back() += "::";
            pos += 3;
        } else if (step == 1 && c == '\\' && pos + 1 < text.size() && text[pos + 1] == '\\') {
            levels.back() += '\\';
            pos += 2;
        } else if (step == 1 && c == ':' && pos + 1 < text.size() && text[pos + 1] == ':') {
            levels.emplace_back();
            pos += 2;
        } else {
            levels.back().append(text, pos, step);
            pos += step;
        }
    }
    return levels;
}

namespace {

int findChild(const std::vector<PageTreeItem>& items, int parent, const std::string& text) {
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        if (items[i].parent == parent && items[i].text == text)
            return i;
    }
    return -1;
}

}  // namespace

std::vector<PageTreeItem> buildPageTree(const std::vector<std::string>& titles) {
    std::vector<PageTreeItem> items;
    for (int page = 0; page < static_cast<int>(titles.size()); ++page) {
        std::vector<std::string> levels = splitTreePath(titles[page]);
        int parent = -1;
        for (std::size_t level = 0; level < levels.size(); ++level) {
            bool last = level + 1 == levels.size();
            int found = findChild(items, parent, levels[level]);
            if (found < 0 || (last && items[found].page >= 0)) {
                items.push_back({levels[level], parent, -1});
                found = static_cast<int>(items.size()) - 1;
            }
            if (last)
                items[found].page = page;
            parent = found;
        }
    }
    return items;
}

std::vector<int> pageTreeOrder(const std::vector<PageTreeItem>& items) {
    std::vector<int> order;
    order.reserve(items.size());
    // Depth-first with an explicit stack; children are pushed in reverse so they come out in
    // creation order.
    std::vector<int> stack;
    for (int i = static_cast<int>(items.size()) - 1; i >= 0; --i) {
        if (items[i].parent < 0)
            stack.push_back(i);
    }
    while (!stack.empty()) {
        int item = stack.back();
        stack.pop_back();
        order.push_back(item);
        for (int i = static_cast<int>(items.size()) - 1; i >= 0; --i) {
            if (items[i].parent == item)
                stack.push_back(i);
        }
    }
    return order;
}

int stepInTreeOrder(const std::vector<PageTreeItem>& items, int current, bool backwards) {
    std::vector<int> order = pageTreeOrder(items);
    if (order.empty())
        return -1;
    auto at = std::find(order.begin(), order.end(), current);
    if (at == order.end())
        return backwards ? order.back() : order.front();
    auto n = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t index = at - order.begin();
    index = backwards ? (index + n - 1) % n : (index + 1) % n;
    return order[index];
}

int itemOfPage(const std::vector<PageTreeItem>& items, int page) {
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        if (items[i].page == page && page >= 0)
            return i;
    }
    return -1;
}

int pageItemImage(int iconIndex, int iconCount, bool hasDefaultImages) {
    if (iconIndex >= 0 && iconIndex < iconCount)
        return iconIndex;
    return hasDefaultImages ? iconCount + 1 : -1;
}

int groupItemImage(int iconCount, bool hasDefaultImages) {
    return hasDefaultImages ? iconCount : -1;
}

}  // namespace vx

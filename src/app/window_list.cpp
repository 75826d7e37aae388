#include "app/window_list.h"

#include <algorithm>

#include "download/collection.h"
#include "download/job_model.h"

namespace vx {

std::string rowTitle(std::string_view pageTitle) {
    if (pageTitle.empty())
        return kUntitledPageTitle;
    return std::string(pageTitle);
}

std::vector<WindowListRow> fillWindowList(BrowserWindowSource& source) {
    std::vector<WindowListRow> rows;
    for (BrowserWindowEntry& entry : listBrowserWindows(source))
        rows.push_back(WindowListRow{rowTitle(entry.title), std::move(entry.address), true});
    return rows;
}

bool downloadNowEnabled(const std::vector<WindowListRow>& rows) {
    return std::any_of(rows.begin(), rows.end(), [](const WindowListRow& r) { return r.checked; });
}

std::vector<std::string> checkedAddresses(const std::vector<WindowListRow>& rows) {
    PageUrlList list;
    for (const WindowListRow& row : rows) {
        if (row.checked)
            list.appendPageUrl(row.address);
    }
    return list.entries();
}

void reverseSelection(std::vector<WindowListRow>& rows) {
    for (WindowListRow& row : rows)
        row.checked = !row.checked;
}

}  // namespace vx

#pragma once
// The main window's list of browser windows, as far as it needs no window: the rows a fill gives,
// when "&Download Now" is enabled, and which addresses it hands to a download.

#include <string>
#include <string_view>
#include <vector>

#include "download/browser_port.h"

namespace vx {

// A page without a title is listed under these bytes, taken as text in the system ANSI code page
// (in the Simplified Chinese code page they read as three characters meaning "no title").
inline constexpr char kUntitledPageTitle[] = "\xCE\xDE\xB1\xEA\xCC\xE2";

// Where "Visit Vexaro &Home Page" and "E-Mail &Support" lead.
inline constexpr char kHomePageAddress[] = "http://www.norlume.com/vexaro/";
inline constexpr char kSupportMailAddress[] = "mailto:support@norlume.com";

struct WindowListRow {
    std::string title;    // as shown: the page's title, or the untitled placeholder
    std::string address;  // the page's address, whole
    bool checked = false;

    friend bool operator==(const WindowListRow&, const WindowListRow&) = default;
};

// The title a row shows for a page whose title is `pageTitle`.
std::string rowTitle(std::string_view pageTitle);

// The rows of a fill: one per window that shows an HTML page, in window order, every one checked.
// Windows of the file manager and windows that cannot be read are left out; the rows gathered
// before such a window stay.
std::vector<WindowListRow> fillWindowList(BrowserWindowSource& source);

// "&Download Now" is enabled while at least one row is checked (never on an empty list).
bool downloadNowEnabled(const std::vector<WindowListRow>& rows);

// What "&Download Now" hands over: the addresses of the checked rows in row order, each once
// (exact, case-sensitive comparison).
std::vector<std::string> checkedAddresses(const std::vector<WindowListRow>& rows);

// "&Reverse Select": every row's check box inverted.
void reverseSelection(std::vector<WindowListRow>& rows);

}  // namespace vx

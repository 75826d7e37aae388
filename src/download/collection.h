#pragma once
// Finding the open pages and collecting the media addresses of the ones a session was given.
// The window list, the all-windows page list and every session worker go through here.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "download/browser_port.h"
#include "download/job_model.h"

namespace vx {

struct DownloadSettings;
struct HistoryRecord;
class CHistoryStore;

// Visits every window that shows an HTML page, in index order; windows without one are passed
// over. When `running` is given it is tested before each window, and the walk ends once it is 0.
void enumerateBrowserWindows(BrowserWindowSource& source,
                             const std::function<void(BrowserPage&)>& visit,
                             const std::atomic<int32_t>* running = nullptr);

struct BrowserWindowEntry {
    std::string title;    // empty when the page has none
    std::string address;  // whole, as the browser gives it
};

// One entry per window with an HTML page, in enumeration order: the main window's list.
std::vector<BrowserWindowEntry> listBrowserWindows(BrowserWindowSource& source);

// The all-windows page list: every HTML window's address, appended unless already listed.
void appendOpenPages(BrowserWindowSource& source, PageUrlList& pageUrls);

// Whether a window showing `address` is one of the session's pages: an entry equal to the
// address, or else to the address without its one trailing "/". An entry that ends in "/" does
// not match an address without it.
bool matchesPageList(const PageUrlList& pageUrls, std::string_view address);

// Appends the page's media addresses to `mediaUrls`, images first, then links; with a `record`,
// also one item per address kept. `running` is tested before each element.
void collectPageMedia(PageDocument& document, const DownloadSettings& settings,
                      const std::atomic<int32_t>& running, MediaUrlList& mediaUrls,
                      HistoryRecord* record);

// A session's collection phase: every open page that matches `pageUrls` has its media collected
// into `mediaUrls`, in window order; a page shown in two windows is collected twice. With a
// `history` (main-window sessions), each page that kept at least one address is added to it as a
// record. `running` is tested before each window and each element.
void collectSessionMedia(BrowserWindowSource& source, const PageUrlList& pageUrls,
                         const DownloadSettings& settings, const std::atomic<int32_t>& running,
                         MediaUrlList& mediaUrls, CHistoryStore* history);

}  // namespace vx

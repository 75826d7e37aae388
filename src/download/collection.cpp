#include "download/collection.h"

#include <optional>
#include <utility>

#include "download/filters.h"
#include "history/history_store.h"
#include "settings/download_settings.h"

namespace vx {

namespace {

bool isRunning(const std::atomic<int32_t>* running) {
    return running == nullptr || running->load() != 0;
}

// The last four bytes of a link address, ASCII letters lower-cased; nullopt for an address of four
// bytes or fewer. Only ASCII is folded: the extensions looked for are ASCII, and a byte of a
// double-byte character must never be changed into one.
std::optional<std::string> extensionOf(std::string_view address) {
    if (address.size() <= 4)
        return std::nullopt;
    std::string tail(address.substr(address.size() - 4));
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return tail;
}

bool isWantedLink(std::string_view address, const DownloadSettings& settings) {
    const std::optional<std::string> extension = extensionOf(address);
    if (!extension)
        return false;
    return (settings.typeMp3 != 0 && *extension == ".mp3") ||
           (settings.typeFlash != 0 && *extension == ".swf");
}

void keep(std::string address, MediaUrlList& mediaUrls, HistoryRecord* record) {
    if (record != nullptr) {
        HistoryItem item;
        item.address = address;
        record->items.push_back(std::move(item));
    }
    mediaUrls.push_back(std::move(address));
}

}  // namespace

void enumerateBrowserWindows(BrowserWindowSource& source,
                             const std::function<void(BrowserPage&)>& visit,
                             const std::atomic<int32_t>* running) {
    const int32_t count = source.windowCount();
    for (int32_t i = 0; i < count && isRunning(running); ++i) {
        std::optional<BrowserPage> page = source.page(i);
        if (!page || !page->document)
            continue;
        visit(*page);
    }
}

std::vector<BrowserWindowEntry> listBrowserWindows(BrowserWindowSource& source) {
    std::vector<BrowserWindowEntry> entries;
    enumerateBrowserWindows(source, [&entries](BrowserPage& page) {
        entries.push_back({page.document->title(), page.address});
    });
    return entries;
}

void appendOpenPages(BrowserWindowSource& source, PageUrlList& pageUrls) {
    enumerateBrowserWindows(
        source, [&pageUrls](BrowserPage& page) { pageUrls.appendPageUrl(page.address); });
}

bool matchesPageList(const PageUrlList& pageUrls, std::string_view address) {
    if (pageUrls.contains(address))
        return true;
    // Only an address that really ends in "/" gets a second look; an empty rest would otherwise
    // let an empty entry match every window.
    if (address.empty() || address.back() != '/')
        return false;
    return pageUrls.contains(address.substr(0, address.size() - 1));
}

void collectPageMedia(PageDocument& document, const DownloadSettings& settings,
                      const std::atomic<int32_t>& running, MediaUrlList& mediaUrls,
                      HistoryRecord* record) {
    if (settings.typeImages != 0) {
        const int32_t count = document.imageCount();
        for (int32_t j = 0; j < count && running.load() != 0; ++j) {
            std::optional<PageImage> image = document.image(j);
            if (!image)
                continue;
            if (isResolutionExcluded(settings, image->width, image->height))
                continue;
            if (image->source.empty())
                continue;
            std::optional<std::string> address = workerAddress(image->source);
            if (!address)
                continue;
            keep(std::move(*address), mediaUrls, record);
        }
    }
    if (settings.typeMp3 != 0 || settings.typeFlash != 0) {
        const int32_t count = document.linkCount();
        for (int32_t j = 0; j < count && running.load() != 0; ++j) {
            std::optional<std::string> target = document.linkTarget(j);
            if (!target)
                continue;
            std::optional<std::string> address = workerAddress(*target);
            if (!address || !isWantedLink(*address, settings))
                continue;
            keep(std::move(*address), mediaUrls, record);
        }
    }
}

void collectSessionMedia(BrowserWindowSource& source, const PageUrlList& pageUrls,
                         const DownloadSettings& settings, const std::atomic<int32_t>& running,
                         MediaUrlList& mediaUrls, CHistoryStore* history) {
    enumerateBrowserWindows(
        source,
        [&](BrowserPage& page) {
            std::optional<std::string> address = workerAddress(page.address);
            if (!address || !matchesPageList(pageUrls, *address))
                return;
            if (history == nullptr) {
                collectPageMedia(*page.document, settings, running, mediaUrls, nullptr);
                return;
            }
            HistoryRecord record;
            record.pageAddress = *address;
            collectPageMedia(*page.document, settings, running, mediaUrls, &record);
            if (!record.items.empty())
                history->AddRecord(std::move(record));
        },
        &running);
}

}  // namespace vx

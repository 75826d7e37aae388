#pragma once
// The browser port over the DevTools protocol: the open tabs of a Chromium started with
// --remote-debugging-port stand for the browser windows, and each tab's live document gives the
// images (with their laid-out size) and the link and area addresses. Native builds only.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "chromium/devtools.h"
#include "download/browser_port.h"
#include "download/posix/folder_url_cache.h"
#include "download/url_cache.h"

namespace vx::chromium {

inline constexpr std::chrono::milliseconds kDefaultTimeout{30000};

// What a tab's document gives in one read.
struct TabMedia {
    std::string title;
    std::vector<PageImage> images;
    std::vector<std::string> links;  // anchors and image-map areas with an address, page order
};

// Reads the tab's live document; throws TargetClosed or DevToolsError.
TabMedia readTabMedia(DevToolsSession& session);

// Told about every tab whose document could not be read (closed during the harvest and the like).
using TabProblem = std::function<void(const DevToolsTarget& tab, const std::string& reason)>;

// The tabs of one browser. The list is read once, when the source is made; each tab's document
// is read when the engine first asks for it.
class ChromiumWindowSource final : public BrowserWindowSource {
  public:
    // Throws DevToolsError when no browser answers at `endpoint`.
    explicit ChromiumWindowSource(const std::string& endpoint,
                                  std::chrono::milliseconds timeout = kDefaultTimeout,
                                  TabProblem onProblem = nullptr);

    // Every target of the list counts, as every shell window does; only tabs ("page") have one.
    int32_t windowCount() override;
    std::optional<BrowserPage> page(int32_t index) override;

    const std::vector<DevToolsTarget>& targets() const { return targets_; }

  private:
    std::vector<DevToolsTarget> targets_;
    std::chrono::milliseconds timeout_;
    TabProblem onProblem_;
};

// The resources the tabs have loaded, by address: what the browser can give back from its own
// copy. Shared by every cache of one harvest, which may be used from other threads.
class TabResources {
  public:
    // Reads the resource tree of each tab in `tabs`; a tab that cannot be read gives nothing.
    TabResources(const std::vector<DevToolsTarget>& tabs, std::chrono::milliseconds timeout);
    ~TabResources();
    TabResources(const TabResources&) = delete;
    TabResources& operator=(const TabResources&) = delete;

    struct Source {
        std::string webSocketUrl;
        std::string frameId;
    };
    std::optional<Source> find(const std::string& address) const;
    std::size_t size() const { return byAddress_.size(); }
    // The private folder where the browser's copies are put down before they are saved.
    const std::string& folder() const { return folder_; }
    std::chrono::milliseconds timeout() const { return timeout_; }

  private:
    std::vector<std::pair<std::string, Source>> byAddress_;  // sorted by address
    std::string folder_;
    std::chrono::milliseconds timeout_;
};

// The cache road over the browser: an address that a tab has loaded is taken from the
// browser's copy (Page.getResourceContent) instead of being fetched again. One per thread.
class ChromiumUrlCache final : public UrlCache {
  public:
    explicit ChromiumUrlCache(std::shared_ptr<const TabResources> resources);
    std::optional<CacheEntry> lookup(const std::string& address) override;
    CopyOutcome copyToNew(const std::string& from, const std::string& to,
                          const CopyProgress& progress) override;

  private:
    DevToolsSession* sessionFor(const std::string& webSocketUrl);

    std::shared_ptr<const TabResources> resources_;
    FolderUrlCache copier_;  // only its exclusive, cancellable copy is used
    std::vector<std::pair<std::string, std::unique_ptr<DevToolsSession>>> sessions_;
};

}  // namespace vx::chromium

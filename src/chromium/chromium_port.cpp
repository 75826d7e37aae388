#include "chromium/chromium_port.h"

#include <openssl/evp.h>
#include <stdlib.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/file_system.h"

namespace vx::chromium {

using Json = nlohmann::json;

namespace {

// One evaluation gives the whole document: a call per element would cost a round trip each.
// document.images and document.links are the collections the Windows port walks; width and
// height of an image element are its laid-out size.
constexpr const char* kMediaScript = R"js((() => ({
  title: document.title,
  images: Array.from(document.images, i => [i.src, i.width, i.height]),
  links: Array.from(document.links, a => a.href)
}))())js";

int32_t pixels(const Json& value) {
    return value.is_number() ? static_cast<int32_t>(value.get<double>()) : 0;
}

class ChromiumDocument final : public PageDocument {
  public:
    ChromiumDocument(DevToolsTarget tab, std::chrono::milliseconds timeout, TabProblem onProblem)
        : tab_(std::move(tab)), timeout_(timeout), onProblem_(std::move(onProblem)) {}

    std::string title() override { return media().title; }
    int32_t imageCount() override { return static_cast<int32_t>(media().images.size()); }
    std::optional<PageImage> image(int32_t index) override {
        const TabMedia& m = media();
        if (index < 0 || static_cast<std::size_t>(index) >= m.images.size())
            return std::nullopt;
        return m.images[static_cast<std::size_t>(index)];
    }
    int32_t linkCount() override { return static_cast<int32_t>(media().links.size()); }
    std::optional<std::string> linkTarget(int32_t index) override {
        const TabMedia& m = media();
        if (index < 0 || static_cast<std::size_t>(index) >= m.links.size())
            return std::nullopt;
        return m.links[static_cast<std::size_t>(index)];
    }

  private:
    // Read once, on first use; a tab that cannot be read counts as an empty page, with the title
    // the tab list gave.
    const TabMedia& media() {
        if (!media_) {
            try {
                DevToolsSession session(tab_.webSocketDebuggerUrl, timeout_);
                media_ = readTabMedia(session);
            } catch (const DevToolsError& e) {
                media_ = TabMedia{tab_.title, {}, {}};
                if (onProblem_)
                    onProblem_(tab_, e.what());
            }
        }
        return *media_;
    }

    DevToolsTarget tab_;
    std::chrono::milliseconds timeout_;
    TabProblem onProblem_;
    std::optional<TabMedia> media_;
};

void collectResources(const Json& frameTree, const std::string& webSocketUrl,
                      std::vector<std::pair<std::string, TabResources::Source>>& out) {
    const Json& frame = frameTree.value("frame", Json::object());
    std::string frameId = frame.value("id", "");
    for (const Json& resource : frameTree.value("resources", Json::array())) {
        if (resource.value("failed", false) || resource.value("canceled", false))
            continue;
        std::string url = resource.value("url", "");
        if (!url.empty() && !frameId.empty())
            out.push_back({url, {webSocketUrl, frameId}});
    }
    for (const Json& child : frameTree.value("childFrames", Json::array()))
        collectResources(child, webSocketUrl, out);
}

std::optional<std::string> decodeBase64(const std::string& text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::string bytes(text.size() / 4 * 3, '\0');
    int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                            reinterpret_cast<const unsigned char*>(text.data()),
                            static_cast<int>(text.size()));
    if (n < 0)
        return std::nullopt;
    // The decoder counts the padding as bytes.
    std::size_t padding = 0;
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i)
        ++padding;
    bytes.resize(static_cast<std::size_t>(n) - padding);
    return bytes;
}

std::string makePrivateFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vexaro-chromium-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw DevToolsError("cannot make a folder for the browser's copies in " +
                            std::filesystem::temp_directory_path().string());
    return pattern;
}

}  // namespace

TabMedia readTabMedia(DevToolsSession& session) {
    Json result =
        session.call("Runtime.evaluate", {{"expression", kMediaScript}, {"returnByValue", true}});
    if (result.contains("exceptionDetails"))
        throw DevToolsError("the document cannot be read");
    const Json& value = result.value("result", Json::object()).value("value", Json::object());
    TabMedia media;
    media.title = value.value("title", "");
    for (const Json& image : value.value("images", Json::array())) {
        if (!image.is_array() || image.size() != 3)
            continue;
        media.images.push_back({image[0].is_string() ? image[0].get<std::string>() : "",
                                pixels(image[1]), pixels(image[2])});
    }
    for (const Json& link : value.value("links", Json::array())) {
        if (link.is_string() && !link.get_ref<const std::string&>().empty())
            media.links.push_back(link.get<std::string>());
    }
    return media;
}

ChromiumWindowSource::ChromiumWindowSource(const std::string& endpoint,
                                           std::chrono::milliseconds timeout, TabProblem onProblem)
    : targets_(listTargets(endpoint, timeout)),
      timeout_(timeout),
      onProblem_(std::move(onProblem)) {}

int32_t ChromiumWindowSource::windowCount() {
    return static_cast<int32_t>(targets_.size());
}

std::optional<BrowserPage> ChromiumWindowSource::page(int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= targets_.size())
        return std::nullopt;
    const DevToolsTarget& target = targets_[static_cast<std::size_t>(index)];
    // Service workers, extensions and other targets are the folder windows of this browser.
    if (target.type != "page" || target.webSocketDebuggerUrl.empty())
        return std::nullopt;
    return BrowserPage{target.url,
                       std::make_unique<ChromiumDocument>(target, timeout_, onProblem_)};
}

TabResources::TabResources(const std::vector<DevToolsTarget>& tabs,
                           std::chrono::milliseconds timeout)
    : folder_(makePrivateFolder()), timeout_(timeout) {
    for (const DevToolsTarget& tab : tabs) {
        if (tab.type != "page" || tab.webSocketDebuggerUrl.empty())
            continue;
        try {
            DevToolsSession session(tab.webSocketDebuggerUrl, timeout);
            Json tree = session.call("Page.getResourceTree");
            collectResources(tree.value("frameTree", Json::object()), tab.webSocketDebuggerUrl,
                             byAddress_);
        } catch (const DevToolsError&) {
            // A tab that went away has nothing to give: its media go the HTTP road.
        }
    }
    std::stable_sort(byAddress_.begin(), byAddress_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

TabResources::~TabResources() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

std::optional<TabResources::Source> TabResources::find(const std::string& address) const {
    auto it =
        std::lower_bound(byAddress_.begin(), byAddress_.end(), address,
                         [](const auto& entry, const std::string& a) { return entry.first < a; });
    if (it == byAddress_.end() || it->first != address)
        return std::nullopt;
    return it->second;
}

ChromiumUrlCache::ChromiumUrlCache(std::shared_ptr<const TabResources> resources)
    : resources_(std::move(resources)), copier_(resources_->folder()) {}

DevToolsSession* ChromiumUrlCache::sessionFor(const std::string& webSocketUrl) {
    for (auto& [url, session] : sessions_) {
        if (url == webSocketUrl)
            return session.get();
    }
    auto session = std::make_unique<DevToolsSession>(webSocketUrl, resources_->timeout());
    // The page agent gives resource contents only once it is enabled.
    session->call("Page.enable");
    sessions_.emplace_back(webSocketUrl, std::move(session));
    return sessions_.back().second.get();
}

std::optional<CacheEntry> ChromiumUrlCache::lookup(const std::string& address) {
    std::optional<TabResources::Source> source = resources_->find(address);
    if (!source)
        return std::nullopt;
    std::optional<std::string> bytes;
    try {
        DevToolsSession* session = sessionFor(source->webSocketUrl);
        Json content = session->call("Page.getResourceContent",
                                     {{"frameId", source->frameId}, {"url", address}});
        std::string text = content.value("content", "");
        bytes = content.value("base64Encoded", false) ? decodeBase64(text) : std::optional(text);
    } catch (const DevToolsError&) {
        // The browser no longer has it (the tab closed, the copy was dropped): fetch it instead.
        std::erase_if(sessions_, [&](const auto& s) { return s.first == source->webSocketUrl; });
        return std::nullopt;
    }
    if (!bytes)
        return std::nullopt;
    // A scratch copy, read once by the copy into the save folder: it needs no flush to disk.
    static std::atomic<unsigned> counter{0};
    std::string path = joinPath(resources_->folder(), std::to_string(counter++) + ".data");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
        std::filesystem::remove(path);
        return std::nullopt;
    }
    return CacheEntry{path, bytes->size()};
}

CopyOutcome ChromiumUrlCache::copyToNew(const std::string& from, const std::string& to,
                                        const CopyProgress& progress) {
    CopyOutcome outcome = copier_.copyToNew(from, to, progress);
    // Each scratch copy is saved once; the folder goes with the harvest in any case.
    if (outcome == CopyOutcome::Copied)
        ::unlink(from.c_str());
    return outcome;
}

}  // namespace vx::chromium

#pragma once
// Open browser windows held in memory: a table of windows, each with its page's images and links,
// and hooks around the reads so that a test can act while the engine is in the middle of a page.
// Header-only, like the other doubles, so that every suite can use it.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "download/browser_port.h"

namespace vx::test {

inline PageImage img(std::string source, int32_t width = 100, int32_t height = 100) {
    return PageImage{std::move(source), width, height};
}

// One window of the table. A window without an address has no HTML document: a folder window,
// or one whose page cannot be read.
struct FakeWindow {
    std::optional<std::string> address;
    std::string title = "Page";
    std::vector<std::optional<PageImage>> images;   // nullopt: not an image element
    std::vector<std::optional<std::string>> links;  // nullopt: an area, not an anchor
    // Run around each element read (images and links), with the element's index.
    std::function<void(int32_t)> beforeElement;
    std::function<void(int32_t)> afterElement;
    // Calls made on the window's document.
    int imageCollectionReads = 0;
    int linkCollectionReads = 0;
    std::vector<int32_t> elementsRead;
};

class FakeDocument final : public PageDocument {
  public:
    explicit FakeDocument(FakeWindow& window) : window_(window) {}
    std::string title() override { return window_.title; }
    int32_t imageCount() override {
        ++window_.imageCollectionReads;
        return static_cast<int32_t>(window_.images.size());
    }
    std::optional<PageImage> image(int32_t index) override {
        before(index);
        auto result = window_.images.at(static_cast<size_t>(index));
        after(index);
        return result;
    }
    int32_t linkCount() override {
        ++window_.linkCollectionReads;
        return static_cast<int32_t>(window_.links.size());
    }
    std::optional<std::string> linkTarget(int32_t index) override {
        before(index);
        auto result = window_.links.at(static_cast<size_t>(index));
        after(index);
        return result;
    }

  private:
    void before(int32_t index) {
        if (window_.beforeElement)
            window_.beforeElement(index);
    }
    void after(int32_t index) {
        window_.elementsRead.push_back(index);
        if (window_.afterElement)
            window_.afterElement(index);
    }
    FakeWindow& window_;
};

// The windows live in a deque, so a reference that add() returns stays valid as more are added.
class FakeBrowser final : public BrowserWindowSource {
  public:
    FakeBrowser() = default;
    explicit FakeBrowser(std::vector<FakeWindow> table) : windows(table.begin(), table.end()) {}

    std::deque<FakeWindow> windows;
    std::vector<int32_t> pagesAsked;
    // Runs before the windows are counted: a test can hold the engine there (or fail it).
    std::function<void()> beforeWindowCount;

    FakeWindow& add(std::optional<std::string> address, std::string title = "Page") {
        windows.push_back({});
        windows.back().address = std::move(address);
        windows.back().title = std::move(title);
        return windows.back();
    }

    int32_t windowCount() override {
        if (beforeWindowCount)
            beforeWindowCount();
        return static_cast<int32_t>(windows.size());
    }
    std::optional<BrowserPage> page(int32_t index) override {
        pagesAsked.push_back(index);
        FakeWindow& window = windows.at(static_cast<size_t>(index));
        if (!window.address)
            return std::nullopt;
        return BrowserPage{*window.address, std::make_unique<FakeDocument>(window)};
    }
};

}  // namespace vx::test

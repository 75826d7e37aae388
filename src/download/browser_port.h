#pragma once
// The open browser windows and their pages, as the engine sees them. On Windows the shell's
// window collection and the browser's document model stand behind this; tests use fakes.
//
// Everything here is read lazily, element by element, because each read may be a call into
// another process: a session can stop between two elements, and an element or window that
// cannot be read costs only itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vx {

struct PageImage {
    std::string source;  // absolute address as the browser reports it; empty when absent
    int32_t width = 0;   // laid-out size in pixels, not the size stored in the image file
    int32_t height = 0;
};

// The HTML document of one browser window. Texts are ANSI (system code page).
class PageDocument {
  public:
    virtual ~PageDocument() = default;

    // The document's title; empty when it has none or it cannot be read.
    virtual std::string title() = 0;

    // Image elements of the page, in page order. A collection that cannot be read counts 0.
    virtual int32_t imageCount() = 0;
    // nullopt for an element that is not an image or cannot be read.
    virtual std::optional<PageImage> image(int32_t index) = 0;

    // Link elements of the page (anchors and image-map areas), in page order.
    virtual int32_t linkCount() = 0;
    // The anchor's absolute target; nullopt for a link element that is not an anchor (an area)
    // or cannot be read.
    virtual std::optional<std::string> linkTarget(int32_t index) = 0;
};

struct BrowserPage {
    std::string address;  // the document's address, whole, as the browser gives it
    std::unique_ptr<PageDocument> document;
};

// The collection of open browser windows. Belongs to the thread that created it.
class BrowserWindowSource {
  public:
    virtual ~BrowserWindowSource() = default;

    // Number of windows, HTML or not; 0 when it cannot be read.
    virtual int32_t windowCount() = 0;
    // The page of window `index` (0 <= index < windowCount()); nullopt for a window without a
    // browser, without a document, with a document that is not HTML (a folder window), or one
    // whose address cannot be read.
    virtual std::optional<BrowserPage> page(int32_t index) = 0;
};

}  // namespace vx

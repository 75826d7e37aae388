#include "download/win/shell_windows.h"

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <oleauto.h>

#include <cwchar>

#include "ui/com.h"
#include "ui/text.h"

using ui::ComPtr;

namespace vx {

namespace {

// Every server the shell may use for its window collection: in-process server and handler,
// local and remote server.
constexpr DWORD kShellWindowsContext = 0x17;

// Text after an embedded NUL is dropped, as it would be by any C-string consumer of an address.
std::string ansiOf(const ui::Bstr& text) {
    if (text.get() == nullptr)
        return {};
    return ui::toAnsi(text.get(), wcsnlen(text.get(), text.length()));
}

VARIANT indexVariant(int32_t index) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = index;
    return v;
}

int32_t lengthOf(IHTMLElementCollection* collection) {
    LONG length = 0;
    if (collection == nullptr || FAILED(collection->get_length(&length)) || length < 0)
        return 0;
    return static_cast<int32_t>(length);
}

// Element `index` of a collection asked for as `T`; null when absent, of another kind, or when a
// call fails.
template <class T>
ComPtr<T> elementAs(IHTMLElementCollection* collection, int32_t index) {
    ComPtr<T> element;
    if (collection == nullptr)
        return element;
    ComPtr<IDispatch> item;
    if (FAILED(collection->item(indexVariant(index), indexVariant(index), item.GetAddressOf())) ||
        !item) {
        return element;
    }
    item.As(&element);
    return element;
}

class ShellPageDocument : public PageDocument {
  public:
    explicit ShellPageDocument(ComPtr<IHTMLDocument2> document) : document_(std::move(document)) {}

    std::string title() override {
        ui::Bstr title;
        if (FAILED(document_->get_title(title.out())))
            return {};
        return ansiOf(title);
    }

    int32_t imageCount() override {
        if (!imagesRead_) {
            imagesRead_ = true;
            if (FAILED(document_->get_images(images_.ReleaseAndGetAddressOf())))
                images_.Reset();
        }
        return lengthOf(images_.Get());
    }

    std::optional<PageImage> image(int32_t index) override {
        if (!imagesRead_)
            imageCount();
        ComPtr<IHTMLImgElement> element = elementAs<IHTMLImgElement>(images_.Get(), index);
        if (!element)
            return std::nullopt;
        ui::Bstr source;
        LONG width = 0;
        LONG height = 0;
        if (FAILED(element->get_src(source.out())) || FAILED(element->get_width(&width)) ||
            FAILED(element->get_height(&height))) {
            return std::nullopt;
        }
        return PageImage{ansiOf(source), static_cast<int32_t>(width), static_cast<int32_t>(height)};
    }

    int32_t linkCount() override {
        if (!linksRead_) {
            linksRead_ = true;
            if (FAILED(document_->get_links(links_.ReleaseAndGetAddressOf())))
                links_.Reset();
        }
        return lengthOf(links_.Get());
    }

    std::optional<std::string> linkTarget(int32_t index) override {
        if (!linksRead_)
            linkCount();
        ComPtr<IHTMLAnchorElement> anchor = elementAs<IHTMLAnchorElement>(links_.Get(), index);
        if (!anchor)
            return std::nullopt;
        ui::Bstr target;
        if (FAILED(anchor->get_href(target.out())))
            return std::nullopt;
        return ansiOf(target);
    }

  private:
    ComPtr<IHTMLDocument2> document_;
    ComPtr<IHTMLElementCollection> images_;
    ComPtr<IHTMLElementCollection> links_;
    bool imagesRead_ = false;
    bool linksRead_ = false;
};

class ShellWindowSource : public BrowserWindowSource {
  public:
    explicit ShellWindowSource(ComPtr<IShellWindows> windows) : windows_(std::move(windows)) {}

    int32_t windowCount() override {
        LONG count = 0;
        if (FAILED(windows_->get_Count(&count)) || count < 0)
            return 0;
        return static_cast<int32_t>(count);
    }

    std::optional<BrowserPage> page(int32_t index) override {
        ComPtr<IDispatch> item;
        if (FAILED(windows_->Item(indexVariant(index), item.GetAddressOf())) || !item) {
            return std::nullopt;
        }
        ComPtr<IWebBrowser2> browser;
        if (FAILED(item.As(&browser)))
            return std::nullopt;
        ComPtr<IDispatch> documentDispatch;
        if (FAILED(browser->get_Document(documentDispatch.GetAddressOf())) || !documentDispatch) {
            return std::nullopt;
        }
        ComPtr<IHTMLDocument2> document;
        if (FAILED(documentDispatch.As(&document)))
            return std::nullopt;
        ui::Bstr address;
        if (FAILED(document->get_URL(address.out())))
            return std::nullopt;
        BrowserPage page;
        page.address = ansiOf(address);
        page.document = std::make_unique<ShellPageDocument>(std::move(document));
        return page;
    }

  private:
    ComPtr<IShellWindows> windows_;
};

}  // namespace

std::unique_ptr<BrowserWindowSource> createShellWindowSource(long* failure) {
    auto fail = [failure](HRESULT hr) -> std::unique_ptr<BrowserWindowSource> {
        if (failure != nullptr)
            *failure = hr;
        return nullptr;
    };
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, kShellWindowsContext, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.GetAddressOf()));
    if (FAILED(hr))
        return fail(hr);
    hr = OleRun(unknown.Get());
    if (FAILED(hr))
        return fail(hr);
    ComPtr<IShellWindows> windows;
    hr = unknown.As(&windows);
    if (FAILED(hr))
        return fail(hr);
    if (failure != nullptr)
        *failure = S_OK;
    return std::make_unique<ShellWindowSource>(std::move(windows));
}

}  // namespace vx

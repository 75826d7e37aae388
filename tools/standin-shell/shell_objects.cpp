#include "shell_objects.h"

#include <wrl/client.h>

#include <new>
#include <string>
#include <vector>

#include "common/com_object.h"
#include "module.h"
#include "not_implemented.h"

using Microsoft::WRL::ComPtr;

namespace standin {

namespace {

// Every object of the server counts towards keeping the DLL loaded.
template <class Stubs>
class Object : public ComObject<Stubs> {
  public:
    Object() { objectCreated(); }
    ~Object() override { objectDestroyed(); }
};

template <class T>
HRESULT handOut(const ComPtr<T>& object, IDispatch** out) {
    if (!object)
        return E_OUTOFMEMORY;
    return object.CopyTo(out);
}

using FixturePtr = std::shared_ptr<const Fixture>;

class ImgElement : public Object<HtmlImgElementStubs> {
  public:
    ImgElement(FixturePtr fixture, const FixtureImage& image)
        : fixture_(std::move(fixture)), image_(image) {}

    HRESULT STDMETHODCALLTYPE get_src(BSTR* p) override { return toBstr(image_.source, p); }
    HRESULT STDMETHODCALLTYPE get_width(LONG* p) override { return give(image_.width, p); }
    HRESULT STDMETHODCALLTYPE get_height(LONG* p) override { return give(image_.height, p); }

  private:
    bool answers(REFIID riid) const override { return riid == IID_IHTMLImgElement; }
    static HRESULT give(int32_t value, LONG* p) {
        if (p == nullptr)
            return E_POINTER;
        *p = value;
        return S_OK;
    }

    FixturePtr fixture_;  // keeps image_ alive
    const FixtureImage& image_;
};

class AnchorElement : public Object<HtmlAnchorElementStubs> {
  public:
    AnchorElement(FixturePtr fixture, const FixtureLink& link)
        : fixture_(std::move(fixture)), link_(link) {}

    HRESULT STDMETHODCALLTYPE get_href(BSTR* p) override { return toBstr(link_.target, p); }

  private:
    bool answers(REFIID riid) const override { return riid == IID_IHTMLAnchorElement; }

    FixturePtr fixture_;
    const FixtureLink& link_;
};

// An image-map area: it stands in the link collection but is not an anchor.
class AreaElement : public Object<DispatchStubs> {
  private:
    bool answers(REFIID) const override { return false; }
};

class ElementCollection : public Object<HtmlElementCollectionStubs> {
  public:
    enum class Kind { Images, Links };

    ElementCollection(FixturePtr fixture, const FixtureWindow& window, Kind kind)
        : fixture_(std::move(fixture)), window_(window), kind_(kind) {}

    HRESULT STDMETHODCALLTYPE get_length(LONG* p) override {
        if (p == nullptr)
            return E_POINTER;
        *p = static_cast<LONG>(size());
        return S_OK;
    }

    // By position when `name` is a number; by id or name otherwise, which no element here has.
    HRESULT STDMETHODCALLTYPE item(VARIANT name, VARIANT, IDispatch** p) override {
        if (p == nullptr)
            return E_POINTER;
        *p = nullptr;
        if (V_VT(&name) == VT_BSTR)
            return S_OK;
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, &name, 0, VT_I4)))
            return E_INVALIDARG;
        const LONG index = V_I4(&number);
        if (index < 0 || static_cast<size_t>(index) >= size())
            return E_INVALIDARG;
        if (kind_ == Kind::Images)
            return handOut(make<ImgElement>(fixture_, window_.images[index]), p);
        const FixtureLink& link = window_.links[index];
        if (link.isAnchor)
            return handOut(make<AnchorElement>(fixture_, link), p);
        return handOut(make<AreaElement>(), p);
    }

  private:
    bool answers(REFIID riid) const override { return riid == IID_IHTMLElementCollection; }
    size_t size() const {
        return kind_ == Kind::Images ? window_.images.size() : window_.links.size();
    }

    FixturePtr fixture_;
    const FixtureWindow& window_;
    Kind kind_;
};

class HtmlDocument : public Object<HtmlDocument2Stubs> {
  public:
    HtmlDocument(FixturePtr fixture, const FixtureWindow& window)
        : fixture_(std::move(fixture)), window_(window) {}

    HRESULT STDMETHODCALLTYPE get_URL(BSTR* p) override { return toBstr(window_.url, p); }
    HRESULT STDMETHODCALLTYPE get_title(BSTR* p) override { return toBstr(window_.title, p); }
    HRESULT STDMETHODCALLTYPE get_images(IHTMLElementCollection** p) override {
        return collection(ElementCollection::Kind::Images, p);
    }
    HRESULT STDMETHODCALLTYPE get_links(IHTMLElementCollection** p) override {
        return collection(ElementCollection::Kind::Links, p);
    }

  private:
    bool answers(REFIID riid) const override {
        return riid == IID_IHTMLDocument || riid == IID_IHTMLDocument2;
    }
    HRESULT collection(ElementCollection::Kind kind, IHTMLElementCollection** p) {
        if (p == nullptr)
            return E_POINTER;
        *p = nullptr;
        auto made = make<ElementCollection>(fixture_, window_, kind);
        if (!made)
            return E_OUTOFMEMORY;
        return made.CopyTo(p);
    }

    FixturePtr fixture_;
    const FixtureWindow& window_;
};

// What a file-manager window holds instead of an HTML document.
class FolderView : public Object<DispatchStubs> {
  private:
    bool answers(REFIID) const override { return false; }
};

class WebBrowser : public Object<WebBrowser2Stubs> {
  public:
    WebBrowser(FixturePtr fixture, const FixtureWindow& window)
        : fixture_(std::move(fixture)), window_(window) {}

    HRESULT STDMETHODCALLTYPE get_Document(IDispatch** p) override {
        if (p == nullptr)
            return E_POINTER;
        *p = nullptr;
        if (!document_) {
            if (window_.isFolder) {
                document_ = make<FolderView>();
            } else {
                document_ = make<HtmlDocument>(fixture_, window_);
            }
        }
        return handOut(document_, p);
    }
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* p) override { return toBstr(window_.url, p); }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* p) override {
        return toBstr(window_.title, p);
    }

  private:
    bool answers(REFIID riid) const override {
        return riid == IID_IWebBrowser || riid == IID_IWebBrowserApp || riid == IID_IWebBrowser2;
    }

    FixturePtr fixture_;
    const FixtureWindow& window_;
    ComPtr<IDispatch> document_;  // one document per window, as long as the browser lives
};

class ShellWindows : public Object<ShellWindowsStubs> {
  public:
    explicit ShellWindows(FixturePtr fixture)
        : fixture_(std::move(fixture)), browsers_(fixture_->windows.size()) {}

    HRESULT STDMETHODCALLTYPE get_Count(LONG* p) override {
        if (p == nullptr)
            return E_POINTER;
        *p = static_cast<LONG>(browsers_.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Item(VARIANT index, IDispatch** p) override {
        if (p == nullptr)
            return E_POINTER;
        *p = nullptr;
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, &index, 0, VT_I4)))
            return E_INVALIDARG;
        const LONG i = V_I4(&number);
        // The shell answers an index past the end with no window and S_FALSE.
        if (i < 0 || static_cast<size_t>(i) >= browsers_.size())
            return S_FALSE;
        ComPtr<IDispatch>& browser = browsers_[i];
        if (!browser)
            browser = make<WebBrowser>(fixture_, fixture_->windows[i]);
        return handOut(browser, p);
    }

  private:
    bool answers(REFIID riid) const override { return riid == IID_IShellWindows; }

    FixturePtr fixture_;
    std::vector<ComPtr<IDispatch>> browsers_;  // made on first request, then the same object
};

}  // namespace

HRESULT createShellWindows(std::shared_ptr<const Fixture> fixture, REFIID riid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    try {
        auto windows = make<ShellWindows>(std::move(fixture));
        if (!windows)
            return E_OUTOFMEMORY;
        return windows->QueryInterface(riid, out);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace standin

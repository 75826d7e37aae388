#include "browser_objects.h"

#include <shlguid.h>

#include <new>

#include "standin-shell/not_implemented.h"

using Microsoft::WRL::ComPtr;

namespace standin {

namespace {

class Browser final : public ComObject<WebBrowser2Stubs> {
  public:
    explicit Browser(BrowserHost* host) : host_(host) {}
    void detach() { host_ = nullptr; }

    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* location) override {
        return toBstr(host_ ? host_->address() : std::string(), location);
    }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR* name) override {
        return toBstr(host_ ? host_->title() : std::string(), name);
    }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR* window) override {
        if (!window)
            return E_POINTER;
        *window = reinterpret_cast<SHANDLE_PTR>(host_ ? host_->frameWindow() : nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL* busy) override {
        if (!busy)
            return E_POINTER;
        *busy = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE* state) override {
        if (!state)
            return E_POINTER;
        *state = READYSTATE_COMPLETE;
        return S_OK;
    }
    // Pages of the stand-in come whole at once: there is never a load to stop.
    HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
        if (!url)
            return E_INVALIDARG;
        if (!host_)
            return E_FAIL;
        try {
            host_->navigate(toAnsi(url, static_cast<int>(SysStringLen(url))));
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

  private:
    bool answers(REFIID riid) const override {
        return riid == IID_IWebBrowser || riid == IID_IWebBrowserApp || riid == IID_IWebBrowser2;
    }

    BrowserHost* host_;
};

class BandSite final : public IOleWindow,
                       public IInputObjectSite,
                       public IOleCommandTarget,
                       public IServiceProvider {
  public:
    BandSite(BrowserHost* host, IWebBrowser2* browser) : host_(host), browser_(browser) {}
    void detach() {
        host_ = nullptr;
        browser_.Reset();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IOleWindow)
            *out = static_cast<IOleWindow*>(this);
        else if (riid == IID_IInputObjectSite)
            *out = static_cast<IInputObjectSite*>(this);
        else if (riid == IID_IOleCommandTarget)
            *out = static_cast<IOleCommandTarget*>(this);
        else if (riid == IID_IServiceProvider)
            *out = static_cast<IServiceProvider*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window)
            return E_INVALIDARG;
        *window = host_ ? host_->stripWindow() : nullptr;
        return *window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override {
        return OLECMDERR_E_UNKNOWNGROUP;
    }
    HRESULT STDMETHODCALLTYPE Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override {
        return OLECMDERR_E_UNKNOWNGROUP;
    }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if ((service != SID_SWebBrowserApp && service != SID_SInternetExplorer) || !browser_)
            return E_NOINTERFACE;
        return browser_->QueryInterface(riid, out);
    }

  private:
    LONG references_ = 1;
    BrowserHost* host_;
    ComPtr<IWebBrowser2> browser_;
};

}  // namespace

ComPtr<IUnknown> makeBandSite(BrowserHost* host, IWebBrowser2* browser) {
    ComPtr<IUnknown> site;
    if (auto made = make<BandSite>(host, browser))
        site = static_cast<IOleWindow*>(made.Get());
    return site;
}

ComPtr<IWebBrowser2> makeBrowser(BrowserHost* host) {
    ComPtr<IWebBrowser2> browser;
    if (auto made = make<Browser>(host))
        browser = made.Get();
    return browser;
}

void detachBandSite(IUnknown* site) {
    if (site)
        static_cast<BandSite*>(static_cast<IOleWindow*>(site))->detach();
}

void detachBrowser(IWebBrowser2* browser) {
    if (browser)
        static_cast<Browser*>(browser)->detach();
}

}  // namespace standin

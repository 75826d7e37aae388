#include "toolbar/win/quenta_bar.h"

#include <exdisp.h>
#include <shlguid.h>

#include <new>

#include "toolbar/win/quenta_module.h"

using Microsoft::WRL::ComPtr;

namespace quenta {

HRESULT CQuentaBar::create(IUnknown* outer, REFIID riid, void** out) {
    if (outer && riid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) CQuentaBar(outer);
    if (!object)
        return E_OUTOFMEMORY;
    object->inner_.AddRef();
    const HRESULT hr = object->inner_.QueryInterface(riid, out);
    object->inner_.Release();
    return hr;
}

CQuentaBar::CQuentaBar(IUnknown* outer) : inner_(*this), controlling_(outer ? outer : &inner_) {
    lockModule();
}

CQuentaBar::~CQuentaBar() {
    bandWindow_.destroy();
    site_.Reset();
    typeInfo_.Reset();
    unlockModule();
}

HRESULT STDMETHODCALLTYPE CQuentaBar::Inner::QueryInterface(REFIID riid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    // In the order of the object's interface table.
    if (riid == IID_IUnknown)
        *out = static_cast<IUnknown*>(this);
    else if (riid == __uuidof(IQuentaBar))
        *out = static_cast<IQuentaBar*>(&owner_);
    else if (riid == IID_IOleWindow)
        *out = static_cast<IOleWindow*>(static_cast<IDeskBand*>(&owner_));
    else if (riid == IID_IDockingWindow)
        *out = static_cast<IDockingWindow*>(&owner_);
    else if (riid == IID_IObjectWithSite)
        *out = static_cast<IObjectWithSite*>(&owner_);
    else if (riid == IID_IDeskBand)
        *out = static_cast<IDeskBand*>(&owner_);
    else if (riid == IID_IPersist)
        *out = static_cast<IPersist*>(&owner_);
    else if (riid == IID_IPersistStream)
        *out = static_cast<IPersistStream*>(&owner_);
    else if (riid == IID_IDispatch)
        *out = static_cast<IDispatch*>(&owner_);
    else
        return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CQuentaBar::Inner::AddRef() {
    return ++owner_.references_;
}

ULONG STDMETHODCALLTYPE CQuentaBar::Inner::Release() {
    const ULONG left = --owner_.references_;
    if (left == 0)
        delete &owner_;
    return left;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::QueryInterface(REFIID riid, void** out) {
    return controlling_->QueryInterface(riid, out);
}

ULONG STDMETHODCALLTYPE CQuentaBar::AddRef() {
    return controlling_->AddRef();
}

ULONG STDMETHODCALLTYPE CQuentaBar::Release() {
    return controlling_->Release();
}

// IDispatch, from the registered type library.

HRESULT CQuentaBar::typeInfo(LCID locale, ITypeInfo** info) {
    if (!typeInfo_) {
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadRegTypeLib(kLibidQuenta, 1, 0, locale, &library);
        if (FAILED(hr))
            return hr;
        hr = library->GetTypeInfoOfGuid(__uuidof(IQuentaBar), &typeInfo_);
        if (FAILED(hr))
            return hr;
    }
    *info = typeInfo_.Get();
    (*info)->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::GetTypeInfoCount(UINT* count) {
    if (count == nullptr)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
    if (info == nullptr)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return typeInfo(locale, info);
}

HRESULT STDMETHODCALLTYPE CQuentaBar::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                                    LCID locale, DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    if (HRESULT hr = typeInfo(locale, &info); FAILED(hr))
        return hr;
    return info->GetIDsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE CQuentaBar::Invoke(DISPID id, REFIID riid, LCID locale, WORD flags,
                                             DISPPARAMS* params, VARIANT* result,
                                             EXCEPINFO* exception, UINT* argumentError) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ComPtr<ITypeInfo> info;
    if (HRESULT hr = typeInfo(locale, &info); FAILED(hr))
        return hr;
    return info->Invoke(static_cast<IQuentaBar*>(this), id, flags, params, result, exception,
                        argumentError);
}

// IOleWindow, IDockingWindow, IDeskBand.

HRESULT STDMETHODCALLTYPE CQuentaBar::GetWindow(HWND* window) {
    if (window == nullptr)
        return E_INVALIDARG;
    *window = bandWindow_.toolbar().hwnd();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::ContextSensitiveHelp(BOOL enterMode) {
    contextHelp_ = enterMode;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::ShowDW(BOOL show) {
    visible_ = show;
    if (HWND toolbar = bandWindow_.toolbar().hwnd())
        ShowWindow(toolbar, show ? SW_SHOW : SW_HIDE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::CloseDW(DWORD) {
    ShowDW(FALSE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::GetBandInfo(DWORD bandId, DWORD viewMode,
                                                  DESKBANDINFO* info) {
    bandId_ = bandId;
    viewMode_ = viewMode;
    if (info == nullptr)
        return S_OK;
    if (info->dwMask & DBIM_MINSIZE)
        info->ptMinSize = {kBandWidth, kBandHeight};
    if (info->dwMask & DBIM_MAXSIZE)
        info->ptMaxSize = {0, -1};
    if (info->dwMask & DBIM_INTEGRAL)
        info->ptIntegral = {1, 1};
    if (info->dwMask & DBIM_ACTUAL)
        info->ptActual = {kBandWidth, kBandHeight};
    if (info->dwMask & DBIM_TITLE)
        info->wszTitle[0] = L'\0';
    if (info->dwMask & DBIM_MODEFLAGS)
        info->dwModeFlags = DBIMF_NORMAL;
    // The browser's own background behind the band.
    info->dwMask &= ~DBIM_BKCOLOR;
    return S_OK;
}

// IObjectWithSite.

HRESULT STDMETHODCALLTYPE CQuentaBar::SetSite(IUnknown* site) {
    bandWindow_.toolbar().setBrowser(nullptr);
    site_.Reset();
    if (site == nullptr)
        return S_OK;

    parent_ = nullptr;
    ComPtr<IOleWindow> siteWindow;
    if (SUCCEEDED(site->QueryInterface(IID_PPV_ARGS(&siteWindow))))
        siteWindow->GetWindow(&parent_);
    if (!IsWindow(parent_))
        return E_FAIL;

    // A band is in one place at a time: windows made for an earlier site go, rather than stay
    // behind as orphans.
    bandWindow_.destroy();
    RECT rect = {};
    GetClientRect(parent_, &rect);
    bandWindow_.create(parent_, rect);
    if (!bandWindow_.toolbar().hwnd())
        return E_FAIL;

    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&site_))))
        return E_FAIL;

    ComPtr<IOleCommandTarget> commands;
    if (FAILED(site->QueryInterface(IID_PPV_ARGS(&commands))))
        return S_OK;
    ComPtr<IServiceProvider> services;
    const HRESULT hr = commands.As(&services);
    commands.Reset();
    if (SUCCEEDED(hr)) {
        ComPtr<IWebBrowser2> browser;
        if (SUCCEEDED(services->QueryService(SID_SWebBrowserApp, IID_PPV_ARGS(&browser))))
            bandWindow_.toolbar().setBrowser(browser.Get());
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::GetSite(REFIID riid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (!site_)
        return E_FAIL;
    return site_->QueryInterface(riid, out);
}

// IPersist, IPersistStream: nothing to keep.

HRESULT STDMETHODCALLTYPE CQuentaBar::GetClassID(CLSID* clsid) {
    if (clsid == nullptr)
        return E_POINTER;
    *clsid = kClsidQuentaBar;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::IsDirty() {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::Load(IStream*) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::Save(IStream*, BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CQuentaBar::GetSizeMax(ULARGE_INTEGER*) {
    return E_NOTIMPL;
}

}  // namespace quenta

#pragma once
// The band object the browser creates: window, docking and band answers, its site, an empty
// persisted state, and IQuentaBar served from the type library.

#include <windows.h>
#include <ocidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "quenta_h.h"
#include "toolbar/win/band_window.h"

namespace quenta {

class CQuentaBar final : public IQuentaBar,
                         public IDeskBand,
                         public IObjectWithSite,
                         public IPersistStream {
  public:
    // Minimum and ideal size of the band, in pixels.
    static constexpr LONG kBandWidth = 140;
    static constexpr LONG kBandHeight = 22;

    // Makes an object, aggregated by `outer` when given (which then must ask for IUnknown).
    static HRESULT create(IUnknown* outer, REFIID riid, void** out);

    // IUnknown: through the controlling unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch (IQuentaBar)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argumentError) override;

    // IOleWindow, IDockingWindow, IDeskBand
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;
    HRESULT STDMETHODCALLTYPE ShowDW(BOOL show) override;
    HRESULT STDMETHODCALLTYPE CloseDW(DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE ResizeBorderDW(LPCRECT border, IUnknown* site,
                                             BOOL reserved) override;
    HRESULT STDMETHODCALLTYPE GetBandInfo(DWORD bandId, DWORD viewMode,
                                          DESKBANDINFO* info) override;

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** out) override;

    // IPersist, IPersistStream
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  private:
    // The object's own IUnknown, which an aggregating object holds.
    class Inner final : public IUnknown {
      public:
        explicit Inner(CQuentaBar& owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;

      private:
        CQuentaBar& owner_;
    };

    explicit CQuentaBar(IUnknown* outer);
    ~CQuentaBar();
    CQuentaBar(const CQuentaBar&) = delete;
    CQuentaBar& operator=(const CQuentaBar&) = delete;

    HRESULT typeInfo(LCID locale, ITypeInfo** info);

    Inner inner_;
    IUnknown* controlling_;  // the aggregating object, or inner_
    LONG references_ = 0;
    DWORD bandId_ = 0;
    DWORD viewMode_ = 0;
    BOOL visible_ = FALSE;
    BOOL contextHelp_ = FALSE;
    HWND parent_ = nullptr;
    CBandWindow bandWindow_;
    Microsoft::WRL::ComPtr<IInputObjectSite> site_;
    Microsoft::WRL::ComPtr<ITypeInfo> typeInfo_;
};

}  // namespace quenta

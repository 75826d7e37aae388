#pragma once
// The COM object "ThumbnailCreator.Thumbnail": IThumbnail (dual, its dispatch side served from
// the embedded type library) and error information for automation clients.

#include <windows.h>
#include <oaidl.h>

#include "thumbnail_h.h"

namespace album {

class ThumbnailObject final : public IThumbnail, public ISupportErrorInfo {
  public:
    static HRESULT create(REFIID riid, void** out);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // IThumbnail: asks for a folder (Vexaro's save folder selected), makes its album and opens
    // it. A cancelled choice is S_FALSE.
    HRESULT STDMETHODCALLTYPE CreateAlbum() override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  private:
    ThumbnailObject();
    ~ThumbnailObject();
    HRESULT typeInfo(ITypeInfo** info);

    LONG references_ = 1;
    ITypeInfo* typeInfo_ = nullptr;
};

}  // namespace album

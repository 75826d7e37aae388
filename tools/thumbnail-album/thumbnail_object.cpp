#include "thumbnail_object.h"

#include <shellapi.h>

#include <new>
#include <string>

#include "album.h"
#include "folder_choice.h"
#include "module.h"

namespace album {

namespace {

// Says what went wrong to automation clients that ask (the code alone is all Vexaro uses).
HRESULT fail(HRESULT hr, const wchar_t* description) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IID_IThumbnail);
        create->SetSource(const_cast<LPOLESTR>(L"ThumbnailCreator.Thumbnail"));
        create->SetDescription(const_cast<LPOLESTR>(description));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return hr;
}

HRESULT openPage(const std::wstring& page, const std::wstring& folder) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = page.c_str();
    execute.lpDirectory = folder.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&execute))
        return S_OK;
    const DWORD code = GetLastError();
    return code ? HRESULT_FROM_WIN32(code) : HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
}

}  // namespace

ThumbnailObject::ThumbnailObject() {
    lockModule();
}

ThumbnailObject::~ThumbnailObject() {
    if (typeInfo_)
        typeInfo_->Release();
    unlockModule();
}

HRESULT ThumbnailObject::create(REFIID riid, void** out) {
    auto* object = new (std::nothrow) ThumbnailObject();
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
}

HRESULT ThumbnailObject::QueryInterface(REFIID riid, void** out) {
    if (!out)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IThumbnail) {
        *out = static_cast<IThumbnail*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
        *out = static_cast<ISupportErrorInfo*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG ThumbnailObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG ThumbnailObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT ThumbnailObject::typeInfo(ITypeInfo** info) {
    if (!typeInfo_) {
        ITypeLib* library = nullptr;
        HRESULT hr = LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, &library);
        if (FAILED(hr))
            return hr;
        hr = library->GetTypeInfoOfGuid(IID_IThumbnail, &typeInfo_);
        library->Release();
        if (FAILED(hr))
            return hr;
    }
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
}

HRESULT ThumbnailObject::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT ThumbnailObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return typeInfo(info);
}

HRESULT ThumbnailObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                       DISPID* ids) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = typeInfo(&info);
    if (FAILED(hr))
        return hr;
    hr = DispGetIDsOfNames(info, names, count, ids);
    info->Release();
    return hr;
}

HRESULT ThumbnailObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = typeInfo(&info);
    if (FAILED(hr))
        return hr;
    hr = DispInvoke(static_cast<IThumbnail*>(this), info, id, flags, params, result, exception,
                    argError);
    info->Release();
    return hr;
}

HRESULT ThumbnailObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IThumbnail ? S_OK : S_FALSE;
}

HRESULT ThumbnailObject::CreateAlbum() {
    try {
        SetErrorInfo(0, nullptr);
        const std::optional<std::wstring> folder = chooseFolder(GetActiveWindow(), savedFolder());
        if (!folder)
            return S_FALSE;
        if (folder->empty())
            return fail(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                        L"The chosen place is not a folder on disk.");
        std::wstring page;
        HRESULT hr = makeAlbum(*folder, page);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            return fail(hr, L"The folder holds no JPEG, PNG, GIF or BMP pictures.");
        if (FAILED(hr))
            return fail(hr, L"The album could not be written into the folder.");
        hr = openPage(page, *folder);
        if (FAILED(hr))
            return fail(hr, L"The album was made, but no program could open it.");
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace album

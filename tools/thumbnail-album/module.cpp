// The four exports of an in-process server, the entry point and the class factory.

#include "module.h"

// The interface identifiers of the type library are defined here, once.
#include <initguid.h>

#include "registration.h"
#include "thumbnail_object.h"

namespace album {

const CLSID CLSID_Thumbnail = {
    0xA4C7E2F8, 0x51B3, 0x4D96, {0x8E, 0x0A, 0x29, 0xF6, 0xB3, 0xD1, 0xC7, 0xE4}};

namespace {

HINSTANCE gInstance = nullptr;
LONG gLockCount = 0;

// The one class factory: static, so its own references do not count; LockServer does.
class ClassFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return ThumbnailObject::create(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            lockModule();
        else
            unlockModule();
        return S_OK;
    }
};

ClassFactory gFactory;

}  // namespace

HINSTANCE moduleInstance() {
    return gInstance;
}

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(gInstance, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void lockModule() {
    InterlockedIncrement(&gLockCount);
}

void unlockModule() {
    InterlockedDecrement(&gLockCount);
}

}  // namespace album

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        album::gInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid != album::CLSID_Thumbnail)
        return CLASS_E_CLASSNOTAVAILABLE;
    return album::gFactory.QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    return album::gLockCount == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return album::registerServer();
}

STDAPI DllUnregisterServer() {
    return album::unregisterServer();
}

}  // extern "C"

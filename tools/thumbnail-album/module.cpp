// The four exports of an in-process server, the entry point and the class factory.

#include "module.h"

// The interface identifiers of the type library are defined here, once.
#include <initguid.h>

#include "base/win/com_server.h"
#include "base/win/module_file.h"
#include "registration.h"
#include "thumbnail_object.h"

namespace album {

const CLSID CLSID_Thumbnail = {
    0xA4C7E2F8, 0x51B3, 0x4D96, {0x8E, 0x0A, 0x29, 0xF6, 0xB3, 0xD1, 0xC7, 0xE4}};

namespace {

HINSTANCE gInstance = nullptr;
vx::ServerLocks gLocks;
vx::StaticClassFactory gFactory(gLocks, [](IUnknown* outer, REFIID riid, void** out) {
    return outer ? CLASS_E_NOAGGREGATION : ThumbnailObject::create(riid, out);
});

}  // namespace

HINSTANCE moduleInstance() {
    return gInstance;
}

std::wstring modulePath() {
    return vx::moduleFileNameW(gInstance);
}

void lockModule() {
    gLocks.lock();
}

void unlockModule() {
    gLocks.unlock();
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
    return album::gLocks.count() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return album::registerServer();
}

STDAPI DllUnregisterServer() {
    return album::unregisterServer();
}

}  // extern "C"

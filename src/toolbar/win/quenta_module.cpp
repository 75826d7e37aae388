// The four exports of an in-process server, the entry point and the class factory.

#include "toolbar/win/quenta_module.h"

#include <new>

#include "base/win/com_server.h"
#include "toolbar/win/band_window.h"
#include "toolbar/win/quenta_bar.h"
#include "toolbar/win/quenta_toolbar.h"
#include "toolbar/win/registration.h"

namespace quenta {

namespace {

HINSTANCE gInstance = nullptr;
vx::ServerLocks gLocks;
CRITICAL_SECTION gModuleLock;
vx::StaticClassFactory gFactory(gLocks, CQuentaBar::create);

}  // namespace

HINSTANCE moduleInstance() {
    return gInstance;
}

void lockModule() {
    gLocks.lock();
}

void unlockModule() {
    gLocks.unlock();
}

LONG moduleLockCount() {
    return gLocks.count();
}

ModuleLock::ModuleLock() {
    EnterCriticalSection(&gModuleLock);
}

ModuleLock::~ModuleLock() {
    LeaveCriticalSection(&gModuleLock);
}

}  // namespace quenta

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        quenta::gInstance = instance;
        InitializeCriticalSection(&quenta::gModuleLock);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Classes registered by a DLL outlive it; a later load would find them pointing into
        // freed code. At process exit there is nothing left to protect.
        if (reserved == nullptr) {
            quenta::CBandWindow::unregisterClass();
            quenta::CQuentaToolbar::unregisterClass();
        }
        DeleteCriticalSection(&quenta::gModuleLock);
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return quenta::moduleLockCount() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (clsid != quenta::kClsidQuentaBar)
        return CLASS_E_CLASSNOTAVAILABLE;
    return quenta::gFactory.QueryInterface(riid, out);
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    try {
        return quenta::registerServer();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    try {
        return quenta::unregisterServer();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

#pragma once
// What each of our in-process servers needs once: the count that keeps the module loaded, and
// the class factory of its one class. Header-only: the band and the album component link none of
// the program's libraries.

#include <windows.h>

#include <unknwn.h>

namespace vx {

// Objects alive plus LockServer(TRUE) calls; the module may be unloaded at zero.
class ServerLocks {
  public:
    void lock() { InterlockedIncrement(&count_); }
    void unlock() { InterlockedDecrement(&count_); }
    LONG count() { return InterlockedCompareExchange(&count_, 0, 0); }

  private:
    LONG count_ = 0;
};

// A static class factory: its own references do not count, LockServer does. `create` makes an
// object for `outer` (null unless aggregated) answering `riid`.
class StaticClassFactory final : public IClassFactory {
  public:
    using Create = HRESULT (*)(IUnknown* outer, REFIID riid, void** out);

    StaticClassFactory(ServerLocks& locks, Create create) : locks_(locks), create_(create) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr)
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
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        return create_(outer, riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            locks_.lock();
        else
            locks_.unlock();
        return S_OK;
    }

  private:
    ServerLocks& locks_;
    Create create_;
};

}  // namespace vx

#pragma once
// What the stand-ins' COM objects share: reference counting and QueryInterface over one chain of
// interfaces, making an object without an extra reference, and texts in and out of BSTRs.

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <climits>
#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace standin {

// An object whose interfaces are all one chain, `Base` (a stub class of not_implemented.h or an
// interface): it answers IUnknown, IDispatch when the chain holds it, and the interfaces
// `answers` names, and deletes itself at its last Release.
template <class Base>
class ComObject : public Base {
  public:
    ComObject() = default;
    virtual ~ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        const bool dispatch = std::is_base_of_v<IDispatch, Base> && riid == IID_IDispatch;
        if (riid != IID_IUnknown && !dispatch && !answers(riid))
            return E_NOINTERFACE;
        *out = static_cast<Base*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    virtual bool answers(REFIID riid) const = 0;

  private:
    LONG refs_ = 1;
};

// Takes over the one reference a new object starts with; null when it could not be made.
// (mingw-w64's ComPtr::Attach adds a reference of its own, so it cannot be used for this.)
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> make(Args&&... args) {
    Microsoft::WRL::ComPtr<T> object;
    if (T* made = new (std::nothrow) T(std::forward<Args>(args)...)) {
        object = made;
        made->Release();
    }
    return object;
}

// ANSI (the system code page) to UTF-16 and back.
inline std::wstring toWide(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX))
        return {};
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), n);
    return out;
}

inline std::string toAnsi(const wchar_t* text, int length = -1) {
    if (!text)
        return {};
    if (length < 0)
        length = lstrlenW(text);
    if (length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

// A new BSTR holding `ansi`, handed to the caller in `out`.
inline HRESULT toBstr(const std::string& ansi, BSTR* out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (ansi.size() > static_cast<size_t>(INT_MAX))
        return E_OUTOFMEMORY;
    const int length = static_cast<int>(ansi.size());
    const int wide =
        length == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (length != 0 && wide == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (text == nullptr)
        return E_OUTOFMEMORY;
    if (wide != 0)
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, text, wide);
    *out = text;
    return S_OK;
}

}  // namespace standin

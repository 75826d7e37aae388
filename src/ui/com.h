#pragma once
// COM on the calling thread, the one smart pointer for interface references, and BSTR ownership.

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <string_view>

namespace ui {

template <class T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

// Initialises COM for the calling thread as a single-threaded apartment and uninitialises it on
// destruction when the initialisation succeeded (S_FALSE included: that call also counts).
class ComInit {
  public:
    ComInit();
    ~ComInit();
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;

    HRESULT result() const { return result_; }
    bool succeeded() const { return SUCCEEDED(result_); }

  private:
    HRESULT result_;
};

// Owns one BSTR (null is the empty string, as COM treats it).
class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(std::wstring_view text);
    // Takes ownership of a BSTR the caller received.
    static Bstr attach(BSTR owned);
    static Bstr fromAnsi(std::string_view text);
    ~Bstr();
    Bstr(Bstr&& other) noexcept;
    Bstr& operator=(Bstr&& other) noexcept;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return value_; }
    // Frees what is held and gives the address for an out parameter.
    BSTR* out();
    // Gives up ownership.
    BSTR release();
    size_t length() const { return value_ ? SysStringLen(value_) : 0; }
    bool empty() const { return length() == 0; }
    // The text in the system ANSI code page, embedded NULs kept.
    std::string toAnsi() const;

  private:
    BSTR value_ = nullptr;
};

}  // namespace ui

#include "ui/com.h"

#include <climits>
#include <new>
#include <utility>

#include "ui/text.h"

namespace ui {

ComInit::ComInit() : result_(CoInitialize(nullptr)) {}

ComInit::~ComInit() {
    if (SUCCEEDED(result_))
        CoUninitialize();
}

Bstr::Bstr(std::wstring_view text) {
    if (text.size() > UINT_MAX / sizeof(wchar_t))
        throw std::bad_alloc();
    value_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value_)
        throw std::bad_alloc();
}

Bstr Bstr::attach(BSTR owned) {
    Bstr b;
    b.value_ = owned;
    return b;
}

Bstr Bstr::fromAnsi(std::string_view text) {
    return Bstr(ui::toWide(text));
}

Bstr::~Bstr() {
    if (value_)
        SysFreeString(value_);
}

Bstr::Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
    if (this != &other) {
        if (value_)
            SysFreeString(value_);
        value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
}

BSTR* Bstr::out() {
    if (value_)
        SysFreeString(value_);
    value_ = nullptr;
    return &value_;
}

BSTR Bstr::release() {
    return std::exchange(value_, nullptr);
}

std::string Bstr::toAnsi() const {
    return ui::toAnsi(value_, length());
}

}  // namespace ui

#include "ui/text.h"

#include <climits>
#include <cwchar>

namespace ui {

std::string windowText(HWND window) {
    if (!window)
        return {};
    int length = GetWindowTextLengthA(window);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

bool setWindowText(HWND window, const std::string& text) {
    return window && SetWindowTextA(window, text.c_str()) != 0;
}

std::string toAnsi(const wchar_t* text) {
    return text ? toAnsi(text, std::wcslen(text)) : std::string();
}

std::string toAnsi(std::wstring_view text) {
    return toAnsi(text.data(), text.size());
}

std::string toAnsi(const wchar_t* text, size_t length) {
    if (!text || length == 0 || length > INT_MAX)
        return {};
    int wideLength = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<size_t>(bytes), '\0');
    bytes = WideCharToMultiByte(CP_ACP, 0, text, wideLength, out.data(), bytes, nullptr, nullptr);
    out.resize(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    return out;
}

std::wstring toWide(std::string_view text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    int length = static_cast<int>(text.size());
    int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring out(static_cast<size_t>(units), L'\0');
    units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, out.data(), units);
    out.resize(units > 0 ? static_cast<size_t>(units) : 0);
    return out;
}

}  // namespace ui

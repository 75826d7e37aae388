#pragma once
// Window texts as ANSI byte strings, and the conversions between UTF-16 and the system ANSI code
// page for the places where the platform hands out UTF-16.

#include <windows.h>

#include <string>
#include <string_view>

namespace ui {

std::string windowText(HWND window);
bool setWindowText(HWND window, const std::string& text);

// UTF-16 to the system ANSI code page (CP_ACP). A null pointer gives an empty string; with an
// explicit length, embedded NULs are kept.
std::string toAnsi(const wchar_t* text);
std::string toAnsi(const wchar_t* text, size_t length);
std::string toAnsi(std::wstring_view text);

// System ANSI code page to UTF-16.
std::wstring toWide(std::string_view text);

}  // namespace ui

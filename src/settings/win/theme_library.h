#pragma once
// The visual-styles library, loaded at run time when present: one process-wide instance that
// loads "uxtheme.dll" on first use and frees it when the program ends. A missing library or
// function means classic drawing; nothing is reported.

#include <windows.h>
#include <uxtheme.h>

namespace vx {

class ThemeLibrary {
  public:
    // The process-wide instance over "uxtheme.dll".
    static ThemeLibrary& instance();

    // Loads `libraryName`; a library that is missing or lacks a function gives classic drawing.
    explicit ThemeLibrary(const char* libraryName);
    ~ThemeLibrary();
    ThemeLibrary(const ThemeLibrary&) = delete;
    ThemeLibrary& operator=(const ThemeLibrary&) = delete;

    // The library and all five functions were found.
    bool available() const;
    // A visual style is in use (false without the library).
    bool isThemeActive() const;

    HTHEME openThemeData(HWND window, LPCWSTR classList) const;
    void closeThemeData(HTHEME theme) const;
    bool drawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT& rect) const;
    bool themeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state, const RECT& bounds,
                                    RECT& content) const;

  private:
    using IsThemeActiveFn = BOOL(WINAPI*)();
    using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);
    using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
    using GetThemeBackgroundContentRectFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCRECT,
                                                             LPRECT);
    using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCRECT, LPCRECT);

    HMODULE module_ = nullptr;
    IsThemeActiveFn isThemeActive_ = nullptr;
    OpenThemeDataFn openThemeData_ = nullptr;
    CloseThemeDataFn closeThemeData_ = nullptr;
    GetThemeBackgroundContentRectFn contentRect_ = nullptr;
    DrawThemeBackgroundFn drawBackground_ = nullptr;
};

}  // namespace vx

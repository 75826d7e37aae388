#include "settings/win/theme_library.h"

namespace vx {

namespace {

template <class Fn>
Fn lookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

ThemeLibrary& ThemeLibrary::instance() {
    static ThemeLibrary library("uxtheme.dll");
    return library;
}

ThemeLibrary::ThemeLibrary(const char* libraryName) {
    module_ = libraryName ? LoadLibraryA(libraryName) : nullptr;
    if (!module_)
        return;
    isThemeActive_ = lookUp<IsThemeActiveFn>(module_, "IsThemeActive");
    openThemeData_ = lookUp<OpenThemeDataFn>(module_, "OpenThemeData");
    closeThemeData_ = lookUp<CloseThemeDataFn>(module_, "CloseThemeData");
    contentRect_ =
        lookUp<GetThemeBackgroundContentRectFn>(module_, "GetThemeBackgroundContentRect");
    drawBackground_ = lookUp<DrawThemeBackgroundFn>(module_, "DrawThemeBackground");
}

ThemeLibrary::~ThemeLibrary() {
    if (module_)
        FreeLibrary(module_);
}

bool ThemeLibrary::available() const {
    return module_ && isThemeActive_ && openThemeData_ && closeThemeData_ && contentRect_ &&
           drawBackground_;
}

bool ThemeLibrary::isThemeActive() const {
    return available() && isThemeActive_();
}

HTHEME ThemeLibrary::openThemeData(HWND window, LPCWSTR classList) const {
    return available() ? openThemeData_(window, classList) : nullptr;
}

void ThemeLibrary::closeThemeData(HTHEME theme) const {
    if (available() && theme)
        closeThemeData_(theme);
}

bool ThemeLibrary::drawThemeBackground(HTHEME theme, HDC dc, int part, int state,
                                       const RECT& rect) const {
    return available() && theme &&
           SUCCEEDED(drawBackground_(theme, dc, part, state, &rect, nullptr));
}

bool ThemeLibrary::themeBackgroundContentRect(HTHEME theme, HDC dc, int part, int state,
                                              const RECT& bounds, RECT& content) const {
    return available() && theme &&
           SUCCEEDED(contentRect_(theme, dc, part, state, &bounds, &content));
}

}  // namespace vx

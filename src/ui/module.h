#pragma once
// The module whose resources the windows and texts come from, and string-table access.

#include <windows.h>

#include <string>
#include <type_traits>
#include <vector>

#include "base/string_table.h"

namespace ui {

// The module that holds the dialogs, icons and strings: the program itself unless set.
HINSTANCE resourceModule();
void setResourceModule(HINSTANCE module);

// The string `id` of the resource module's string table, any length; empty when it has none.
std::string loadString(UINT id);

namespace detail {
inline std::string argText(const std::string& s) {
    return s;
}
inline std::string argText(const char* s) {
    return s ? s : "";
}
template <class T>
requires std::is_integral_v<T> std::string argText(T value) {
    return std::to_string(value);
}
}  // namespace detail

// String `id` with its conversions ("%s", "%d", ...) filled by `args` in order.
template <class... Args>
std::string formatString(UINT id, const Args&... args) {
    return vx::formatText(loadString(id), std::vector<std::string>{detail::argText(args)...});
}

}  // namespace ui

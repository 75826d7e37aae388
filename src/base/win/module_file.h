#pragma once
// The file a loaded module came from. Header-only: the band and the stand-ins, which link none
// of the program's Win32 libraries, read their own path the same way.

#include <windows.h>

#include <string>

namespace vx {

namespace detail {
inline DWORD moduleFileNameInto(HMODULE module, char* buffer, DWORD size) {
    return GetModuleFileNameA(module, buffer, size);
}
inline DWORD moduleFileNameInto(HMODULE module, wchar_t* buffer, DWORD size) {
    return GetModuleFileNameW(module, buffer, size);
}

template <class Char>
std::basic_string<Char> moduleFileNameOf(HMODULE module) {
    // A full buffer means the path may have been cut: read again with room to spare, up to the
    // longest path there is.
    std::basic_string<Char> path(MAX_PATH, Char());
    for (;;) {
        const DWORD n = moduleFileNameInto(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size() - 1) {
            path.resize(n);
            return path;
        }
        if (path.size() > 32768)
            return {};
        path.resize(path.size() * 2);
    }
}
}  // namespace detail

// Full path of a loaded module (the program when null), whatever its length; empty when it
// cannot be read.
inline std::string moduleFileName(HMODULE module = nullptr) {
    return detail::moduleFileNameOf<char>(module);
}
inline std::wstring moduleFileNameW(HMODULE module = nullptr) {
    return detail::moduleFileNameOf<wchar_t>(module);
}

}  // namespace vx

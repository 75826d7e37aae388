#pragma once
// The file a loaded module came from. Header-only: the band and the stand-ins, which link none
// of the program's Win32 libraries, read their own path the same way.

#include <windows.h>

#include <string>

namespace vx {

// Full path of a loaded module (the program when null), whatever its length; empty when it
// cannot be read.
inline std::string moduleFileName(HMODULE module = nullptr) {
    // A full buffer means the path may have been cut: read again with room to spare, up to the
    // longest path there is.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
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

}  // namespace vx

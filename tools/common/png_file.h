#pragma once
// Saves pictures as PNG files through the system's imaging component (WIC).

#include <windows.h>

#include <string>

namespace demo {

// Writes the bitmap (a DIB section or a device bitmap; any alpha is ignored) to `path` as a
// 24-bit PNG. False, and no file left behind, when any step fails.
bool savePng(HBITMAP bitmap, const std::string& path);

}  // namespace demo

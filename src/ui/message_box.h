#pragma once
// The program's message boxes: application boxes with the application's title as caption, and
// the box that shows the system's text for a Win32 error code.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "ui/module.h"

namespace ui {

// The application's title: the base name of the executable without its extension (the resources
// set no title of their own). Decided once per process.
const std::string& appTitle();

// A message box with the application's title as caption; returns the button pressed (0 when the
// box could not be shown).
int appMessageBox(const std::string& text, UINT flags = MB_OK, HWND owner = nullptr);

// An application message box without owner showing string `id`, its conversions filled by `args`.
template <class... Args>
int appMessageBoxId(UINT id, UINT flags, const Args&... args) {
    return appMessageBox(formatString(id, args...), flags);
}

// The system's message text for a Win32 error code, as the system gives it (line end included);
// nullopt when the system has no text for it.
std::optional<std::string> systemErrorText(uint32_t code);

// Shows the system's text for `code` in a box owned by `owner` (none by default), caption
// "Error", with the information icon and an OK button. Shows nothing when the system has no
// text for the code.
void systemErrorBox(uint32_t code, HWND owner = nullptr);

}  // namespace ui

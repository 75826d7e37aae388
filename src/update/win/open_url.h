#pragma once
// Opening a web address in the user's browser: the shell first, else the program registered for
// ".htm" files.

#include <windows.h>

#include <string>

namespace vx {

// The default value of `root`\`subKey` (at most 259 bytes and its terminator) into `value`.
// ERROR_SUCCESS when the key was opened and the value read, otherwise the error code; a value
// that is no string or does not fit counts as unreadable.
LONG ReadRegistryDefault(HKEY root, const std::string& subKey, std::string& value);

// Opens `url` with `showCommand`. The result is ShellExecuteA's or, when the shell could not open
// the address, WinExec's with the registered browser; greater than 32 means success. When the
// fallback cannot be built (no association, or a command line beyond 519 characters), nothing
// runs and the shell's result is returned.
INT_PTR OpenUrl(const std::string& url, int showCommand);

}  // namespace vx

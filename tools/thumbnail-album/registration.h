#pragma once
// The registration of "ThumbnailCreator.Thumbnail": its class and ProgID keys, per user under
// HKEY_CURRENT_USER\Software\Classes (where Windows looks first for the user's classes, no
// administrator needed) and under HKEY_CLASSES_ROOT where that can be written (the machine's
// classes; the only place Wine's COM looks).

#include <windows.h>

namespace album {

// Fails only when neither place could be written.
HRESULT registerServer();
// Removes what registration wrote from both places; succeeds also when nothing was there.
HRESULT unregisterServer();

}  // namespace album

#pragma once
// Registering and unregistering the band: the browser's toolbar list, the class with its ProgIDs,
// and the type library.

#include <windows.h>

namespace quenta {

inline constexpr char kBrowserToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";

HRESULT registerServer();
// Succeeds also when nothing (or only part) is registered.
HRESULT unregisterServer();

}  // namespace quenta

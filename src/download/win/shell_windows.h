#pragma once
// The open browser windows through the shell's window collection (ShellWindows) and the
// browser's document model.

#include <memory>

#include "download/browser_port.h"

namespace vx {

// Creates the collection object on the calling thread, which must have initialised COM; the
// source and every page it hands out belong to that thread. nullptr when any step fails
// (`failure`, when given, then receives the HRESULT).
std::unique_ptr<BrowserWindowSource> createShellWindowSource(long* failure = nullptr);

}  // namespace vx

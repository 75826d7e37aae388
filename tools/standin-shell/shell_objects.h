#pragma once
// The COM objects that play the browser shell: the window collection, one browser per window,
// its HTML document (or a folder view), the element collections and the elements.

#include <windows.h>

#include <memory>

#include "fixture.h"

namespace standin {

// A new window collection over `fixture`, answering `riid`. The fixture is shared, read-only, by
// every object handed out from it.
HRESULT createShellWindows(std::shared_ptr<const Fixture> fixture, REFIID riid, void** out);

}  // namespace standin

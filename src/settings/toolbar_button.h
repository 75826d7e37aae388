#pragma once
// The browser toolbar button that starts Vexaro: a browser extension described entirely by
// string values under one registry key of HKEY_LOCAL_MACHINE.

#include <string>
#include <vector>

namespace vx {

// Under HKEY_LOCAL_MACHINE; the GUID is the product's own identifier for this button.
inline constexpr char kToolbarButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{4E7A2C19-8B3D-4F05-A6E1-93D0C57B2F68}";

struct RegistryText {
    std::string name;
    std::string data;
};

// The values written for the button, in the order they are written, for the executable at
// `programPath`: the browser's class for buttons that run a program, visibility, text, the two
// icons (the program's main icon group) and the program to run.
std::vector<RegistryText> toolbarButtonValues(const std::string& programPath);

}  // namespace vx

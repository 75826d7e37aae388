#include "settings/win/toolbar_button_win.h"

#include <windows.h>

#include "settings/toolbar_button.h"

namespace vx {

namespace {

// Deletes every subkey of `key`, each with its own subkeys first.
bool deleteSubkeys(HKEY key) {
    for (;;) {
        char name[256] = {};
        DWORD length = sizeof name;
        LONG status = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            return true;
        if (status != ERROR_SUCCESS)
            return false;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ | KEY_WRITE, &child) != ERROR_SUCCESS)
            return false;
        bool emptied = deleteSubkeys(child);
        RegCloseKey(child);
        if (!emptied || RegDeleteKeyA(key, name) != ERROR_SUCCESS)
            return false;
    }
}

}  // namespace

bool addToolbarButton(const std::string& programPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kToolbarButtonKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    for (const RegistryText& value : toolbarButtonValues(programPath)) {
        RegSetValueExA(key, value.name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.data.c_str()),
                       static_cast<DWORD>(value.data.size() + 1));
    }
    RegCloseKey(key);
    return true;
}

bool removeToolbarButton() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbarButtonKey, 0, KEY_READ | KEY_WRITE, &key) !=
        ERROR_SUCCESS)
        return false;
    bool emptied = deleteSubkeys(key);
    RegCloseKey(key);
    if (!emptied)
        return false;
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, kToolbarButtonKey) == ERROR_SUCCESS;
}

}  // namespace vx

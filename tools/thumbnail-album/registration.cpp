#include "registration.h"

#include <string>
#include <vector>

#include "module.h"

namespace album {

namespace {

const std::string kClassKey = std::string("CLSID\\") + kClsidText;

struct Entry {
    std::string key;
    const char* valueName;  // null for the default value
    std::string data;
};

std::vector<Entry> entries(const std::string& module) {
    return {
        {kVersionedProgId, nullptr, "Thumbnail Class"},
        {std::string(kVersionedProgId) + "\\CLSID", nullptr, kClsidText},
        {kProgId, nullptr, "Thumbnail Class"},
        {std::string(kProgId) + "\\CLSID", nullptr, kClsidText},
        {std::string(kProgId) + "\\CurVer", nullptr, kVersionedProgId},
        {kClassKey, nullptr, "Thumbnail Class"},
        {kClassKey + "\\ProgID", nullptr, kVersionedProgId},
        {kClassKey + "\\VersionIndependentProgID", nullptr, kProgId},
        {kClassKey + "\\InprocServer32", nullptr, module},
        {kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
    };
}

// The keys removed whole; "CLSID" itself is never among them.
std::vector<std::string> ownedKeys() {
    return {kClassKey, kVersionedProgId, kProgId};
}

HRESULT fromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

LONG deleteTree(HKEY root, const std::string& key) {
    const LONG rc = RegDeleteTreeA(root, key.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT writeEntries(HKEY root, const std::string& module) {
    for (const std::string& key : ownedKeys())
        if (LONG rc = deleteTree(root, key); rc != ERROR_SUCCESS)
            return fromWin32(rc);
    for (const Entry& entry : entries(module)) {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExA(root, entry.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr);
        if (rc == ERROR_SUCCESS)
            rc = RegSetValueExA(key, entry.valueName, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(entry.data.c_str()),
                                static_cast<DWORD>(entry.data.size() + 1));
        if (key)
            RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return fromWin32(rc);
    }
    return S_OK;
}

std::string moduleAnsiPath() {
    const std::wstring path = modulePath();
    if (path.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace

HRESULT registerServer() {
    const std::string module = moduleAnsiPath();
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    HKEY userClasses = nullptr;
    HRESULT user = fromWin32(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &userClasses, nullptr));
    if (SUCCEEDED(user)) {
        user = writeEntries(userClasses, module);
        RegCloseKey(userClasses);
    }
    const HRESULT machine = writeEntries(HKEY_CLASSES_ROOT, module);
    if (FAILED(machine)) {
        // Without an administrator's rights only the user's own classes can be written; nothing
        // half-written stays behind.
        for (const std::string& key : ownedKeys())
            deleteTree(HKEY_CLASSES_ROOT, key);
    }
    return SUCCEEDED(user) || SUCCEEDED(machine) ? S_OK : user;
}

HRESULT unregisterServer() {
    HKEY userClasses = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Classes", 0, KEY_ALL_ACCESS, &userClasses) ==
        ERROR_SUCCESS) {
        for (const std::string& key : ownedKeys())
            deleteTree(userClasses, key);
        RegCloseKey(userClasses);
    }
    for (const std::string& key : ownedKeys())
        deleteTree(HKEY_CLASSES_ROOT, key);
    return S_OK;
}

}  // namespace album

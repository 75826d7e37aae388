#include "toolbar/win/registration.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "toolbar/win/quenta_module.h"

namespace quenta {

namespace {

const std::string kClassKey = std::string("CLSID\\") + kClsidText;

struct Entry {
    std::string key;        // under HKEY_CLASSES_ROOT
    const char* valueName;  // null for the default value
    std::string data;       // written only when hasData
    bool hasData;
};

// Keys first, parents before children, each with what it holds.
std::vector<Entry> classEntries(const std::string& module) {
    return {
        {"Quenta.QuentaBar.1", nullptr, "QuentaBar", true},
        {"Quenta.QuentaBar.1\\CLSID", nullptr, kClsidText, true},
        {"Quenta.QuentaBar", nullptr, "QuentaBar", true},
        {"Quenta.QuentaBar\\CLSID", nullptr, kClsidText, true},
        {"Quenta.QuentaBar\\CurVer", nullptr, "Quenta.QuentaBar.1", true},
        {kClassKey, nullptr, "QuentaBar", true},
        {kClassKey + "\\ProgID", nullptr, "Quenta.QuentaBar.1", true},
        {kClassKey + "\\VersionIndependentProgID", nullptr, "Quenta.QuentaBar", true},
        {kClassKey + "\\Programmable", nullptr, {}, false},
        {kClassKey + "\\InprocServer32", nullptr, module, true},
        {kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment", true},
        {kClassKey + "\\TypeLib", nullptr, kLibidText, true},
    };
}

// The keys unregistration removes whole; "CLSID" itself is never among them.
const char* const kOwnedKeys[] = {"Quenta.QuentaBar.1", "Quenta.QuentaBar"};

HRESULT fromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

LONG deleteTree(HKEY root, const std::string& key) {
    const LONG rc = RegDeleteTreeA(root, key.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT registerClass(const std::string& module) {
    // Force-remove: whatever an older registration left under the class key goes first.
    if (LONG rc = deleteTree(HKEY_CLASSES_ROOT, kClassKey); rc != ERROR_SUCCESS)
        return fromWin32(rc);
    for (const Entry& entry : classEntries(module)) {
        HKEY key = nullptr;
        LONG rc = RegCreateKeyExA(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr);
        if (rc == ERROR_SUCCESS && entry.hasData) {
            rc = RegSetValueExA(key, entry.valueName, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(entry.data.c_str()),
                                static_cast<DWORD>(entry.data.size() + 1));
        }
        if (key)
            RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return fromWin32(rc);
    }
    return S_OK;
}

void unregisterClass() {
    deleteTree(HKEY_CLASSES_ROOT, kClassKey);
    for (const char* key : kOwnedKeys)
        deleteTree(HKEY_CLASSES_ROOT, key);
}

HRESULT registerTypeLibrary(const std::string& module) {
    const int n = MultiByteToWideChar(CP_ACP, 0, module.c_str(), -1, nullptr, 0);
    std::wstring path(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, module.c_str(), -1, path.data(), n);
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    hr = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
    return hr;
}

void unregisterTypeLibrary() {
    // Looked up at run time: older automation libraries lack it.
    using UnRegisterFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
    HMODULE automation = GetModuleHandleA("oleaut32.dll");
    if (!automation)
        return;
    auto unregister = reinterpret_cast<UnRegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(automation, "UnRegisterTypeLib")));
    if (unregister)
        unregister(kLibidQuenta, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
}

}  // namespace

HRESULT registerServer() {
    HKEY toolbars = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBrowserToolbarKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                        &toolbars, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(toolbars, kClsidText, 0, REG_BINARY, nullptr, 0);
        RegCloseKey(toolbars);
    }
    const std::string module = modulePath();
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    if (HRESULT hr = registerClass(module); FAILED(hr))
        return hr;
    return registerTypeLibrary(module);
}

HRESULT unregisterServer() {
    HKEY toolbars = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kBrowserToolbarKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                        &toolbars, nullptr) == ERROR_SUCCESS) {
        RegDeleteValueA(toolbars, kClsidText);
        RegCloseKey(toolbars);
    }
    unregisterClass();
    unregisterTypeLibrary();
    return S_OK;
}

}  // namespace quenta

#include "toolbar/win/registration.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "base/win/module_file.h"
#include "base/win/registry.h"
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
        LONG rc = ERROR_SUCCESS;
        vx::RegistryKey key =
            vx::RegistryKey::created(HKEY_CLASSES_ROOT, entry.key.c_str(), KEY_WRITE, &rc);
        if (rc == ERROR_SUCCESS && entry.hasData)
            rc = vx::writeStringValue(key.get(), entry.valueName, entry.data);
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
    if (vx::RegistryKey toolbars =
            vx::RegistryKey::created(HKEY_LOCAL_MACHINE, kBrowserToolbarKey, KEY_WRITE, nullptr);
        toolbars.get()) {
        RegSetValueExA(toolbars.get(), kClsidText, 0, REG_BINARY, nullptr, 0);
    }
    const std::string module = vx::moduleFileName(moduleInstance());
    if (module.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    if (HRESULT hr = registerClass(module); FAILED(hr))
        return hr;
    return registerTypeLibrary(module);
}

HRESULT unregisterServer() {
    if (vx::RegistryKey toolbars =
            vx::RegistryKey::created(HKEY_LOCAL_MACHINE, kBrowserToolbarKey, KEY_WRITE, nullptr);
        toolbars.get()) {
        RegDeleteValueA(toolbars.get(), kClsidText);
    }
    unregisterClass();
    unregisterTypeLibrary();
    return S_OK;
}

}  // namespace quenta

#include "module.h"

#include <exdisp.h>
#include <olectl.h>

#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "base/mbcs.h"
#include "base/win/module_file.h"
#include "base/win/registry.h"
#include "common/com_object.h"
#include "fixture.h"
#include "shell_objects.h"

namespace standin {

namespace {

HINSTANCE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

constexpr char kFixtureName[] = "standin-windows.xml";
constexpr char kClassKey[] = "CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}";
constexpr char kServerKey[] = "CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32";
// What the server key named before we took it over, so that unregistering gives it back.
constexpr char kPreviousValue[] = "StandinShell.Previous";

// The fixture file whole; an absent file reads as an empty text (no windows open).
HRESULT readFixtureFile(std::string& text) {
    text.clear();
    const std::string path = moduleFolder() + kFixtureName;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return S_OK;
        return HRESULT_FROM_WIN32(error);
    }
    HRESULT result = S_OK;
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            result = HRESULT_FROM_WIN32(GetLastError());
            break;
        }
        if (got == 0)
            break;
        text.append(buffer, got);
    }
    CloseHandle(file);
    return result;
}

void useSystemCodePage() {
    static std::once_flag once;
    std::call_once(once, [] {
        CPINFO info{};
        if (GetCPInfo(CP_ACP, &info))
            vx::mbcs::setLeadByteRanges(info.LeadByte, MAX_LEADBYTES);
    });
}

// Reads the fixture afresh for every new collection, so a test changes the open windows by
// rewriting the file.
HRESULT loadFixture(std::shared_ptr<const Fixture>& out) {
    useSystemCodePage();
    std::string text;
    const HRESULT read = readFixtureFile(text);
    if (FAILED(read))
        return read;
    auto fixture = std::make_shared<Fixture>(parseFixture(text));
    // A broken fixture is a mistake in the test set-up: refuse loudly rather than show nothing.
    if (!fixture->ok)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    out = std::move(fixture);
    return S_OK;
}

class ClassFactory final : public ComObject<IClassFactory> {
  public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        try {
            std::shared_ptr<const Fixture> fixture;
            const HRESULT loaded = loadFixture(fixture);
            if (FAILED(loaded))
                return loaded;
            return createShellWindows(std::move(fixture), riid, out);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lockModule(lock != FALSE);
        return S_OK;
    }

  private:
    // A factory reference does not keep the module: holders call LockServer, as COM expects
    // (COM itself caches factories).
    bool answers(REFIID riid) const override { return riid == IID_IClassFactory; }
};

bool samePath(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

}  // namespace

void objectCreated() {
    InterlockedIncrement(&g_objects);
}
void objectDestroyed() {
    InterlockedDecrement(&g_objects);
}
void lockModule(bool lock) {
    if (lock) {
        InterlockedIncrement(&g_locks);
    } else {
        InterlockedDecrement(&g_locks);
    }
}
bool moduleInUse() {
    return InterlockedCompareExchange(&g_objects, 0, 0) != 0 ||
           InterlockedCompareExchange(&g_locks, 0, 0) != 0;
}

std::string moduleFolder() {
    const std::string path = vx::moduleFileName(g_module);
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace standin

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        standin::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* out) {
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_ShellWindows)
        return CLASS_E_CLASSNOTAVAILABLE;
    const auto factory = standin::make<standin::ClassFactory>();
    if (!factory)
        return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, out);
}

STDAPI DllCanUnloadNow() {
    return standin::moduleInUse() ? S_FALSE : S_OK;
}

static HRESULT registerServer() {
    const std::string path = vx::moduleFileName(standin::g_module);
    if (path.empty())
        return SELFREG_E_CLASS;
    LONG status = ERROR_SUCCESS;
    const vx::RegistryKey key = vx::RegistryKey::created(HKEY_CLASSES_ROOT, standin::kServerKey,
                                                         KEY_READ | KEY_WRITE, &status);
    if (status != ERROR_SUCCESS)
        return SELFREG_E_CLASS;
    const std::string previous = vx::readStringValue(key.get(), nullptr).value_or("");
    if (!previous.empty() && !standin::samePath(previous, path))
        status = vx::writeStringValue(key.get(), standin::kPreviousValue, previous);
    if (status == ERROR_SUCCESS)
        status = vx::writeStringValue(key.get(), nullptr, path);
    if (status == ERROR_SUCCESS)
        status = vx::writeStringValue(key.get(), "ThreadingModel", "Apartment");
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

// Takes back only a registration that names this very DLL, and restores what it replaced.
static HRESULT unregisterServer() {
    const std::string path = vx::moduleFileName(standin::g_module);
    LONG status = ERROR_SUCCESS;
    {
        const vx::RegistryKey key(HKEY_CLASSES_ROOT, standin::kServerKey, KEY_READ | KEY_WRITE);
        if (!key.get() ||
            !standin::samePath(vx::readStringValue(key.get(), nullptr).value_or(""), path))
            return S_OK;
        DWORD type = REG_NONE;
        const std::string previous =
            vx::readStringValue(key.get(), standin::kPreviousValue, &type).value_or("");
        if (type == REG_SZ && !previous.empty()) {
            status = vx::writeStringValue(key.get(), nullptr, previous);
            if (status == ERROR_SUCCESS)
                RegDeleteValueA(key.get(), standin::kPreviousValue);
            return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
        }
    }
    const vx::RegistryKey classKey(HKEY_CLASSES_ROOT, standin::kClassKey, KEY_READ | KEY_WRITE);
    status =
        classKey.get() ? RegDeleteKeyA(classKey.get(), "InprocServer32") : ERROR_FILE_NOT_FOUND;
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllRegisterServer() {
    try {
        return registerServer();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return unregisterServer();
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // extern "C"

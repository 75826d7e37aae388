#include "module.h"

#include <exdisp.h>
#include <olectl.h>

#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "base/mbcs.h"
#include "fixture.h"
#include "shell_objects.h"

namespace standin {

namespace {

HINSTANCE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

constexpr wchar_t kFixtureName[] = L"standin-windows.xml";
constexpr wchar_t kClassKey[] = L"CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}";
constexpr wchar_t kServerKey[] = L"CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32";
// What the server key named before we took it over, so that unregistering gives it back.
constexpr wchar_t kPreviousValue[] = L"StandinShell.Previous";

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The fixture file whole; an absent file reads as an empty text (no windows open).
HRESULT readFixtureFile(std::string& text) {
    text.clear();
    const std::wstring path = moduleFolder() + kFixtureName;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
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

class ClassFactory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr)
            return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory)
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return left;
    }

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

    // A factory reference does not keep the module: holders call LockServer, as COM expects
    // (COM itself caches factories).
    virtual ~ClassFactory() = default;

  private:
    LONG refs_ = 1;
};

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The key's default text; empty when absent.
std::wstring readDefault(HKEY key) {
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    return value;
}

LONG writeString(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
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

std::wstring moduleFolder() {
    std::wstring path = modulePath();
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
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
    auto* factory = new (std::nothrow) standin::ClassFactory;
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow() {
    return standin::moduleInUse() ? S_FALSE : S_OK;
}

static HRESULT registerServer() {
    const std::wstring path = standin::modulePath();
    if (path.empty())
        return SELFREG_E_CLASS;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, standin::kServerKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return SELFREG_E_CLASS;
    }
    const std::wstring previous = standin::readDefault(key);
    LONG status = ERROR_SUCCESS;
    if (!previous.empty() && !standin::samePath(previous, path)) {
        status = standin::writeString(key, standin::kPreviousValue, previous);
    }
    if (status == ERROR_SUCCESS)
        status = standin::writeString(key, nullptr, path);
    if (status == ERROR_SUCCESS)
        status = standin::writeString(key, L"ThreadingModel", L"Apartment");
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

// Takes back only a registration that names this very DLL, and restores what it replaced.
static HRESULT unregisterServer() {
    const std::wstring path = standin::modulePath();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, standin::kServerKey, 0, KEY_READ | KEY_WRITE, &key) !=
        ERROR_SUCCESS) {
        return S_OK;
    }
    if (!standin::samePath(standin::readDefault(key), path)) {
        RegCloseKey(key);
        return S_OK;
    }
    wchar_t previous[MAX_PATH * 2] = {};
    DWORD size = sizeof previous - sizeof(wchar_t);
    DWORD type = 0;
    const bool hadPrevious =
        RegQueryValueExW(key, standin::kPreviousValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(previous), &size) == ERROR_SUCCESS &&
        type == REG_SZ && previous[0] != L'\0';
    LONG status = ERROR_SUCCESS;
    if (hadPrevious) {
        status = standin::writeString(key, nullptr, previous);
        if (status == ERROR_SUCCESS)
            RegDeleteValueW(key, standin::kPreviousValue);
        RegCloseKey(key);
    } else {
        RegCloseKey(key);
        HKEY classKey = nullptr;
        status = RegOpenKeyExW(HKEY_CLASSES_ROOT, standin::kClassKey, 0, KEY_READ | KEY_WRITE,
                               &classKey);
        if (status == ERROR_SUCCESS) {
            status = RegDeleteKeyW(classKey, L"InprocServer32");
            RegCloseKey(classKey);
        }
    }
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

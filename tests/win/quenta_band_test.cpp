// Quenta.dll as the browser meets it: registered with regsvr32, created through COM, given a
// site of the test's own (window, input-object site, command target, service provider with a
// scripted browser), and driven through its toolbar's own messages. The program it starts is a
// stub Vexaro.exe that records its command line.

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <ocidl.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <winternl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "standin-shell/not_implemented.h"
#include "toolbar/handover.h"
#include "win_test_util.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr CLSID kClsid = {
    0x9C3E51A2, 0x47D0, 0x4B8E, {0x9F, 0x61, 0x2A, 0x7D, 0x05, 0xC3, 0xE8, 0x14}};
constexpr IID kIidQuentaBar = {
    0x6F2A8D41, 0x93C7, 0x4E5B, {0xA0, 0xD8, 0x57, 0xB1, 0xC3, 0xE9, 0xF4, 0x2A}};
constexpr GUID kLibid = {
    0xB05F7E3C, 0x2D14, 0x4A6B, {0x8C, 0x93, 0x61, 0xE2, 0xF0, 0xA4, 0xD7, 0xB5}};
constexpr char kClsidText[] = "{9C3E51A2-47D0-4B8E-9F61-2A7D05C3E814}";
constexpr char kLibidText[] = "{B05F7E3C-2D14-4A6B-8C93-61E2F0A4D7B5}";
constexpr char kToolbarsKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
constexpr char kVexaroKey[] = "SOFTWARE\\Norlume\\Vexaro";
constexpr char kHomePage[] = "http://www.norlume.com/vexaro/";

constexpr int kButton = 102;
constexpr int kAllPages = 103;
constexpr int kCurrentPage = 104;
constexpr int kRunVexaro = 105;
constexpr int kHomePageCommand = 106;

std::string quentaPath() {
    return wintest::besideTestProgram("Quenta.dll");
}

// regsvr32's exit code (0 when the entry point succeeded).
DWORD regsvr32(const std::string& switches) {
    std::string command = "regsvr32.exe /s " + switches + " \"" + quentaPath() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

using RegValue = wintest::StoredValue;
using wintest::keyExists;

RegValue sz(const std::string& text) {
    return {REG_SZ, text + '\0'};
}

// The test's browser: what the band asks of it is scripted and recorded.

class ScriptedBrowser : public standin::WebBrowser2Stubs {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID_IWebBrowser &&
            riid != IID_IWebBrowserApp && riid != IID_IWebBrowser2)
            return E_NOINTERFACE;
        *out = static_cast<IWebBrowser2*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* location) override {
        *location = address ? SysAllocString(address->c_str()) : nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override {
        calls.push_back("Stop");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR url, VARIANT* flags, VARIANT* frame, VARIANT* postData,
                                       VARIANT* headers) override {
        std::string call = "Navigate ";
        for (const wchar_t* c = url; c && *c; ++c)
            call += static_cast<char>(*c);
        for (VARIANT* v : {flags, frame, postData, headers})
            call += v == nullptr ? " null" : v->vt == VT_EMPTY ? " empty" : " set";
        calls.push_back(call);
        return S_OK;
    }

    LONG references = 1;  // the test's own
    std::optional<std::wstring> address;
    std::vector<std::string> calls;
};

struct SiteShape {
    bool window = true;
    bool inputObjectSite = true;
    bool commandTarget = true;
    bool serviceProvider = true;
    bool browserService = true;
};

class TestSite : public IOleWindow,
                 public IInputObjectSite,
                 public IOleCommandTarget,
                 public IServiceProvider {
  public:
    TestSite(HWND window, ScriptedBrowser* browser, SiteShape shape = {})
        : window_(window), browser_(browser), shape_(shape) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown)
            *out = static_cast<IOleWindow*>(this);
        else if (riid == IID_IOleWindow && shape_.window)
            *out = static_cast<IOleWindow*>(this);
        else if (riid == IID_IInputObjectSite && shape_.inputObjectSite)
            *out = static_cast<IInputObjectSite*>(this);
        else if (riid == IID_IOleCommandTarget && shape_.commandTarget)
            *out = static_cast<IOleCommandTarget*>(this);
        else if (riid == IID_IServiceProvider && shape_.serviceProvider)
            *out = static_cast<IServiceProvider*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = window_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID*, ULONG, OLECMD*, OLECMDTEXT*) override {
        return OLECMDERR_E_UNKNOWNGROUP;
    }
    HRESULT STDMETHODCALLTYPE Exec(const GUID*, DWORD, DWORD, VARIANT*, VARIANT*) override {
        return OLECMDERR_E_UNKNOWNGROUP;
    }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** out) override {
        *out = nullptr;
        if (service != SID_SWebBrowserApp || !shape_.browserService || !browser_)
            return E_NOINTERFACE;
        return browser_->QueryInterface(riid, out);
    }

    LONG references = 1;

  private:
    HWND window_;
    ScriptedBrowser* browser_;
    SiteShape shape_;
};

// A visible top-level window standing for the browser's frame.
class HostWindow {
  public:
    HostWindow() {
        hwnd_ =
            CreateWindowExA(0, "STATIC", "Test browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                            480, 160, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~HostWindow() {
        if (IsWindow(hwnd_))
            DestroyWindow(hwnd_);
    }
    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_;
};

std::vector<HWND> windowsOfClass(const char* wanted) {
    struct Search {
        const char* wanted;
        std::vector<HWND> found;
    } search{wanted, {}};
    auto top = [](HWND window, LPARAM param) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == GetCurrentProcessId()) {
            EnumChildWindows(
                window,
                [](HWND child, LPARAM p) -> BOOL {
                    auto& inner = *reinterpret_cast<Search*>(p);
                    if (wintest::className(child) == inner.wanted)
                        inner.found.push_back(child);
                    return TRUE;
                },
                param);
        }
        return TRUE;
    };
    EnumWindows(top, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Live processes started by this one from an executable of this name.
int liveChildrenNamed(const char* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() &&
            lstrcmpiA(entry.szExeFile, exeName) == 0)
            ++count;
    }
    CloseHandle(snapshot);
    return count;
}

// An install folder holding the stub Vexaro.exe, named by InstallPath for the test's duration.
class StubInstall {
  public:
    StubInstall() : installPath_(HKEY_CURRENT_USER, kVexaroKey, "InstallPath") {
        EXPECT_TRUE(CopyFileA(wintest::besideTestProgram("stub-vexaro.exe").c_str(),
                              folder_.file("Vexaro.exe").c_str(), FALSE))
            << "stub-vexaro.exe is not built beside the tests";
        EXPECT_TRUE(installPath_.setString(folder_.path()));
    }
    const wintest::TempFolder& folder() const { return folder_; }
    const wintest::RegistryValueGuard& installPath() const { return installPath_; }
    std::string exe() const { return folder_.file("Vexaro.exe"); }

    // The command lines the stub recorded, once `count` starts have written theirs and no
    // started stub is still running.
    std::vector<std::string> startsOnceSettled(size_t count) const {
        std::vector<std::string> lines;
        wintest::waitFor([&] {
            lines.clear();
            const std::string text = folder_.read("commandline.txt").value_or("");
            size_t start = 0;
            for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
                lines.push_back(text.substr(start, end - start));
            return lines.size() >= count && liveChildrenNamed("Vexaro.exe") == 0;
        });
        return lines;
    }
    // After a command has returned: nothing it started is still running, and nothing recorded.
    bool nothingStarted() const {
        return liveChildrenNamed("Vexaro.exe") == 0 && !folder_.read("commandline.txt");
    }

  private:
    wintest::TempFolder folder_;
    wintest::RegistryValueGuard installPath_;
};

// What ShellExecuteA gives the started program: its path, quoted, and the parameters.
std::string commandLineOf(const std::string& exe, const char* parameters) {
    std::string line = "\"" + exe + "\"";
    if (parameters)
        line += std::string(" ") + parameters;
    return line;
}

class QuentaBandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(regsvr32(""), 0u) << "regsvr32 could not register " << quentaPath();
        ASSERT_TRUE(SUCCEEDED(
            CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&band_))));
        ASSERT_TRUE(SUCCEEDED(band_.As(&withSite_)));
        ASSERT_NE(host_.hwnd(), nullptr);
    }
    void TearDown() override {
        withSite_.Reset();
        band_.Reset();
        CoUninitialize();
    }

    HWND toolbar() {
        HWND window = nullptr;
        EXPECT_EQ(band_->GetWindow(&window), S_OK);
        return window;
    }
    // Sets the usual site and gives the toolbar its place in the host, as a browser does.
    HWND placeInHost() {
        EXPECT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
        HWND bar = toolbar();
        SetParent(bar, host_.hwnd());
        MoveWindow(bar, 0, 0, 140, 22, TRUE);
        band_->ShowDW(TRUE);
        return bar;
    }
    void command(int id) { SendMessageA(toolbar(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

    HostWindow host_;
    ScriptedBrowser browser_;
    TestSite site_{host_.hwnd(), &browser_};
    ComPtr<IDeskBand> band_;
    ComPtr<IObjectWithSite> withSite_;
};

TEST_F(QuentaBandTest, RegistrationWritesEveryEntryByteForByte) {
    const std::string cls = std::string("CLSID\\") + kClsidText;
    const std::vector<std::pair<std::pair<std::string, const char*>, RegValue>> expected = {
        {{"Quenta.QuentaBar.1", nullptr}, sz("QuentaBar")},
        {{"Quenta.QuentaBar.1\\CLSID", nullptr}, sz(kClsidText)},
        {{"Quenta.QuentaBar", nullptr}, sz("QuentaBar")},
        {{"Quenta.QuentaBar\\CLSID", nullptr}, sz(kClsidText)},
        {{"Quenta.QuentaBar\\CurVer", nullptr}, sz("Quenta.QuentaBar.1")},
        {{cls, nullptr}, sz("QuentaBar")},
        {{cls + "\\ProgID", nullptr}, sz("Quenta.QuentaBar.1")},
        {{cls + "\\VersionIndependentProgID", nullptr}, sz("Quenta.QuentaBar")},
        {{cls + "\\InprocServer32", nullptr}, sz(quentaPath())},
        {{cls + "\\InprocServer32", "ThreadingModel"}, sz("Apartment")},
        {{cls + "\\TypeLib", nullptr}, sz(kLibidText)},
    };
    for (const auto& [where, value] : expected) {
        auto read = wintest::readStoredValue(HKEY_CLASSES_ROOT, where.first, where.second);
        ASSERT_TRUE(read.has_value()) << where.first << " " << (where.second ? where.second : "");
        EXPECT_EQ(read->type, value.type) << where.first;
        EXPECT_EQ(read->bytes, value.bytes) << where.first;
    }

    HKEY programmable = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, (cls + "\\Programmable").c_str(), 0, KEY_READ,
                            &programmable),
              ERROR_SUCCESS);
    DWORD subKeys = 1, values = 1;
    RegQueryInfoKeyA(programmable, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(programmable);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, 0u) << "Programmable is an empty key";

    auto toolbarValue = wintest::readStoredValue(HKEY_LOCAL_MACHINE, kToolbarsKey, kClsidText);
    ASSERT_TRUE(toolbarValue.has_value());
    EXPECT_EQ(toolbarValue->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(toolbarValue->bytes, "");

    ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadRegTypeLib(kLibid, 1, 0, LOCALE_NEUTRAL, &library), S_OK);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(library->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"QUENTALib");
    EXPECT_STREQ(help, L"Quenta 1.0 Type Library");
    SysFreeString(name);
    SysFreeString(help);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(kClsid, &coclass), S_OK);
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(help, L"QuentaBar Class");
    SysFreeString(help);
}

TEST_F(QuentaBandTest, RegistrationForceRemovesWhatAnOlderOneLeftUnderTheClassKey) {
    const std::string stale = std::string("CLSID\\") + kClsidText + "\\Programmable\\Stale";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, stale.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Old", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    RegCloseKey(key);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + kClsidText).c_str(),
                              "Leftover", REG_SZ, "y", 2),
              ERROR_SUCCESS);

    ASSERT_EQ(regsvr32(""), 0u);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, stale));
    EXPECT_FALSE(wintest::readStoredValue(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsidText,
                                          "Leftover"));
}

TEST_F(QuentaBandTest, UnregisteringTwiceSucceedsAndLeavesTheClsidKey) {
    band_.Reset();
    withSite_.Reset();
    EXPECT_EQ(regsvr32("/u"), 0u);
    EXPECT_EQ(regsvr32("/u"), 0u);

    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kClsidText));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Quenta.QuentaBar.1"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Quenta.QuentaBar"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_FALSE(
        wintest::readStoredValue(HKEY_LOCAL_MACHINE, kToolbarsKey, kClsidText).has_value());
    ComPtr<ITypeLib> library;
    EXPECT_TRUE(FAILED(LoadRegTypeLib(kLibid, 1, 0, LOCALE_NEUTRAL, &library)));

    EXPECT_EQ(regsvr32(""), 0u) << "registering again after unregistering";
}

TEST_F(QuentaBandTest, LocksAndObjectsKeepTheModuleLoaded) {
    band_.Reset();
    withSite_.Reset();
    HMODULE module = LoadLibraryA(quentaPath().c_str());
    ASSERT_NE(module, nullptr);
    using CanUnload = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    ASSERT_TRUE(canUnload && getClassObject);
    ASSERT_NE(GetProcAddress(module, "DllRegisterServer"), nullptr);
    ASSERT_NE(GetProcAddress(module, "DllUnregisterServer"), nullptr);

    ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject(IID_IUnknown, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(kClsid, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(canUnload(), S_OK);
    factory->LockServer(TRUE);
    EXPECT_EQ(canUnload(), S_FALSE);
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);
    factory->LockServer(FALSE);
    EXPECT_EQ(canUnload(), S_FALSE) << "a live object holds the module";
    object.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    factory.Reset();
    FreeLibrary(module);
}

// An outer object that aggregates the band and counts what reaches it.
class Outer : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    LONG references = 1;
    ComPtr<IUnknown> inner;
};

TEST_F(QuentaBandTest, CanBeAggregatedAndThenAnswersThroughTheOuterObject) {
    Outer outer;
    ComPtr<IDeskBand> direct;
    EXPECT_EQ(CoCreateInstance(kClsid, &outer, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&direct)),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(CoCreateInstance(kClsid, &outer, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&outer.inner)),
              S_OK);
    IDeskBand* band = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&band)), S_OK);
    EXPECT_EQ(outer.references, 2) << "the inner interface's reference goes to the outer object";
    IUnknown* identity = nullptr;
    ASSERT_EQ(band->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    band->Release();
    EXPECT_EQ(outer.references, 1);
    outer.inner.Reset();
}

TEST_F(QuentaBandTest, AnswersItsInterfacesAndNotIInputObject) {
    for (const IID* iid :
         {&kIidQuentaBar, &IID_IOleWindow, &IID_IDockingWindow, &IID_IObjectWithSite,
          &IID_IDeskBand, &IID_IPersist, &IID_IPersistStream, &IID_IDispatch}) {
        ComPtr<IUnknown> answer;
        EXPECT_EQ(band_->QueryInterface(*iid, reinterpret_cast<void**>(answer.GetAddressOf())),
                  S_OK);
    }
    ComPtr<IInputObject> input;
    EXPECT_EQ(band_.As(&input), E_NOINTERFACE);

    // Shared tables: the window interfaces are one pointer, and so are the persistence ones.
    ComPtr<IOleWindow> window;
    ComPtr<IDockingWindow> docking;
    ASSERT_EQ(band_.As(&window), S_OK);
    ASSERT_EQ(band_.As(&docking), S_OK);
    EXPECT_EQ(static_cast<void*>(window.Get()), static_cast<void*>(band_.Get()));
    EXPECT_EQ(static_cast<void*>(docking.Get()), static_cast<void*>(band_.Get()));
    ComPtr<IPersist> persist;
    ComPtr<IPersistStream> stream;
    ASSERT_EQ(band_.As(&persist), S_OK);
    ASSERT_EQ(band_.As(&stream), S_OK);
    EXPECT_EQ(static_cast<void*>(persist.Get()), static_cast<void*>(stream.Get()));
}

TEST_F(QuentaBandTest, BandInfoWithEveryBitGivesTheBandsSizesAndDropsTheBackground) {
    DESKBANDINFO info{};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                  DBIM_MODEFLAGS | DBIM_BKCOLOR;
    info.wszTitle[0] = L'x';
    info.dwModeFlags = 0x55;
    ASSERT_EQ(band_->GetBandInfo(7, DBIF_VIEWMODE_NORMAL, &info), S_OK);
    EXPECT_EQ(info.ptMinSize.x, 140);
    EXPECT_EQ(info.ptMinSize.y, 22);
    EXPECT_EQ(info.ptMaxSize.x, 0);
    EXPECT_EQ(info.ptMaxSize.y, -1);
    EXPECT_EQ(info.ptIntegral.x, 1);
    EXPECT_EQ(info.ptIntegral.y, 1);
    EXPECT_EQ(info.ptActual.x, 140);
    EXPECT_EQ(info.ptActual.y, 22);
    EXPECT_EQ(info.wszTitle[0], L'\0');
    EXPECT_EQ(info.dwModeFlags, static_cast<DWORD>(DBIMF_NORMAL));
    EXPECT_EQ(info.dwMask, static_cast<DWORD>(DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL |
                                              DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS));
}

TEST_F(QuentaBandTest, BandInfoWithOnlyTheBackgroundBitChangesNothingElse) {
    DESKBANDINFO info;
    memset(&info, 0x5A, sizeof info);
    DESKBANDINFO before = info;
    info.dwMask = DBIM_BKCOLOR;
    before.dwMask = 0;
    ASSERT_EQ(band_->GetBandInfo(1, 0, &info), S_OK);
    EXPECT_EQ(memcmp(&info, &before, sizeof info), 0);
    EXPECT_EQ(band_->GetBandInfo(1, 0, nullptr), S_OK);
}

TEST_F(QuentaBandTest, PlainAnswers) {
    EXPECT_EQ(band_->GetWindow(nullptr), E_INVALIDARG);
    EXPECT_EQ(band_->ContextSensitiveHelp(TRUE), S_OK);
    EXPECT_EQ(band_->ResizeBorderDW(nullptr, nullptr, FALSE), E_NOTIMPL);

    ComPtr<IPersistStream> persist;
    ASSERT_EQ(band_.As(&persist), S_OK);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, kClsid);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);
    ULARGE_INTEGER size{};
    EXPECT_EQ(persist->GetSizeMax(&size), E_NOTIMPL);

    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ULONG written = 0;
    ASSERT_EQ(stream->Write("state", 5, &written), S_OK);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(persist->Load(stream.Get()), S_OK);
    ULARGE_INTEGER position{};
    stream->Seek(start, STREAM_SEEK_CUR, &position);
    EXPECT_EQ(position.QuadPart, 0u) << "Load reads nothing";
    EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
    stream->Seek(start, STREAM_SEEK_CUR, &position);
    EXPECT_EQ(position.QuadPart, 0u) << "Save writes nothing";
}

TEST_F(QuentaBandTest, DispatchIsServedFromTheTypeLibrary) {
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(band_.As(&dispatch), S_OK);
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, &info), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->guid, kIidQuentaBar);
    info->ReleaseTypeAttr(attributes);
    BSTR help = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, nullptr, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(help, L"IQuentaBar Interface");
    SysFreeString(help);

    OLECHAR unknownName[] = L"NoSuchMember";
    LPOLESTR names[] = {unknownName};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);
    DISPPARAMS none{};
    EXPECT_TRUE(FAILED(dispatch->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                        nullptr, nullptr, nullptr)));
}

TEST_F(QuentaBandTest, SiteMakesAHiddenBandWindowWithTheToolbarInside) {
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
    HWND bar = toolbar();
    ASSERT_TRUE(IsWindow(bar));
    EXPECT_EQ(wintest::className(bar), "WEBTOOLBAR");
    const DWORD wanted = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | TBSTYLE_TOOLTIPS |
                         TBSTYLE_WRAPABLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TRANSPARENT |
                         CCS_TOP | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(bar, GWL_STYLE)) & wanted, wanted);
    EXPECT_EQ(GetWindowLongA(bar, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);

    HWND band = GetParent(bar);
    EXPECT_EQ(GetParent(band), host_.hwnd());
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(band, GWL_STYLE)) & (WS_CHILD | WS_VISIBLE),
              static_cast<DWORD>(WS_CHILD));
    RECT hostClient{}, bandRect{};
    GetClientRect(host_.hwnd(), &hostClient);
    GetClientRect(band, &bandRect);
    EXPECT_EQ(bandRect.right, hostClient.right);
    EXPECT_EQ(bandRect.bottom, hostClient.bottom);

    ComPtr<IInputObjectSite> held;
    ASSERT_EQ(withSite_->GetSite(IID_PPV_ARGS(&held)), S_OK);
    EXPECT_EQ(held.Get(), static_cast<IInputObjectSite*>(&site_));
}

TEST_F(QuentaBandTest, SiteWithoutAWindowFailsAndMakesNoWindows) {
    TestSite noWindow(host_.hwnd(), &browser_, {.window = false});
    EXPECT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&noWindow)), E_FAIL);
    EXPECT_EQ(toolbar(), nullptr);
    TestSite deadWindow(reinterpret_cast<HWND>(0x1234), &browser_);
    EXPECT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&deadWindow)), E_FAIL);
    EXPECT_EQ(toolbar(), nullptr);
    EXPECT_TRUE(windowsOfClass("WEBTOOLBAR").empty());
}

TEST_F(QuentaBandTest, SiteWithoutInputObjectSiteFailsButKeepsItsWindows) {
    TestSite site(host_.hwnd(), &browser_, {.inputObjectSite = false});
    EXPECT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site)), E_FAIL);
    EXPECT_TRUE(IsWindow(toolbar()));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite_->GetSite(IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(QuentaBandTest, GetSiteWithoutASiteFailsWithANullPointer) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(withSite_->GetSite(IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(QuentaBandTest, CloseThenShowShowsTheSameToolbarAgain) {
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
    HWND bar = toolbar();
    EXPECT_EQ(band_->CloseDW(0), S_OK);
    EXPECT_TRUE(IsWindow(bar));
    EXPECT_FALSE(GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(band_->ShowDW(TRUE), S_OK);
    EXPECT_EQ(toolbar(), bar);
    EXPECT_TRUE(GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(QuentaBandTest, ASecondSiteLeavesOneBandWindowAndOneToolbar) {
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
    HostWindow secondHost;
    TestSite second(secondHost.hwnd(), &browser_);
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&second)), S_OK);
    const auto toolbars = windowsOfClass("WEBTOOLBAR");
    ASSERT_EQ(toolbars.size(), 1u);
    EXPECT_EQ(toolbars[0], toolbar());
    EXPECT_EQ(GetParent(GetParent(toolbars[0])), secondHost.hwnd());
    EXPECT_EQ(site_.references, 1) << "the first site was released";
    withSite_->SetSite(nullptr);
}

TEST_F(QuentaBandTest, ClearingTheSiteThenDestroyingReleasesSiteAndBrowserOnce) {
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
    EXPECT_GT(site_.references, 1);
    EXPECT_GT(browser_.references, 1);
    EXPECT_EQ(withSite_->SetSite(nullptr), S_OK);
    EXPECT_EQ(site_.references, 1);
    EXPECT_EQ(browser_.references, 1);
    HWND bar = toolbar();
    EXPECT_TRUE(IsWindow(bar)) << "the windows stay until the object goes";
    withSite_.Reset();
    band_.Reset();
    EXPECT_EQ(site_.references, 1);
    EXPECT_EQ(browser_.references, 1);
    EXPECT_FALSE(IsWindow(bar));
}

TEST_F(QuentaBandTest, DestroyingWithASiteHeldReleasesItOnceAndTheWindowsGo) {
    HWND bar = placeInHost();
    withSite_.Reset();
    band_.Reset();
    EXPECT_EQ(site_.references, 1);
    EXPECT_EQ(browser_.references, 1);
    EXPECT_FALSE(IsWindow(bar)) << "also after the browser moved it into its own window";
}

TEST_F(QuentaBandTest, ToolbarHoldsOneDropDownButtonNamedAfterTheProduct) {
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
    HWND bar = toolbar();
    EXPECT_TRUE(SendMessageA(bar, TB_GETEXTENDEDSTYLE, 0, 0) & TBSTYLE_EX_DRAWDDARROWS);
    ASSERT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), 1);
    TBBUTTON button{};
    ASSERT_TRUE(SendMessageA(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button)));
    EXPECT_EQ(button.idCommand, kButton);
    EXPECT_EQ(button.iBitmap, 0);
    EXPECT_EQ(button.fsStyle, 0xD8);
    EXPECT_TRUE(button.fsState & TBSTATE_ENABLED);
    char text[64] = {};
    SendMessageA(bar, TB_GETBUTTONTEXTA, kButton, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Vexaro");

    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(bar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 1);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST_F(QuentaBandTest, TipIsTheProductNameCutToTheGivenBuffer) {
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&site_)), S_OK);
    HWND bar = toolbar();
    HWND band = GetParent(bar);
    auto ask = [&](int item, int size) {
        std::string buffer(16, '#');
        NMTBGETINFOTIPA tip{};
        tip.hdr.hwndFrom = bar;
        tip.hdr.idFrom = GetDlgCtrlID(bar);
        tip.hdr.code = TBN_GETINFOTIPA;
        tip.pszText = buffer.data();
        tip.cchTextMax = size;
        tip.iItem = item;
        EXPECT_EQ(SendMessageA(band, WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip)), 0);
        return buffer;
    };
    EXPECT_EQ(ask(kButton, 16).substr(0, 7), std::string("Vexaro\0", 7));
    EXPECT_EQ(ask(kButton, 4), std::string("Vex\0", 4) + std::string(12, '#'));
    EXPECT_EQ(ask(kButton + 1, 16), std::string(16, '#'));
}

struct MenuSeen {
    HWND menuWindow = nullptr;
    RECT where{};
    std::vector<std::string> items;
    std::vector<UINT> ids;
    std::vector<UINT> states;
    std::vector<WPARAM> keys;  // pressed after reading; none closes the menu
    bool done = false;
};
MenuSeen* gMenuSeen = nullptr;

void CALLBACK readMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = FindWindowA("#32768", nullptr);
    if (!gMenuSeen || gMenuSeen->done || !window || !IsWindowVisible(window))
        return;
    KillTimer(nullptr, timer);
    MenuSeen& seen = *gMenuSeen;
    seen.menuWindow = window;
    GetWindowRect(window, &seen.where);
    auto menu = reinterpret_cast<HMENU>(SendMessageA(window, 0x01E1 /* MN_GETHMENU */, 0, 0));
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        char text[128] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        seen.items.push_back(text);
        seen.ids.push_back(GetMenuItemID(menu, i));
        seen.states.push_back(GetMenuState(menu, i, MF_BYPOSITION));
    }
    seen.done = true;
    if (seen.keys.empty()) {
        EndMenu();
        return;
    }
    for (WPARAM key : seen.keys) {
        PostMessageA(window, WM_KEYDOWN, key, 0);
        PostMessageA(window, WM_KEYUP, key, 0xC0000000);
    }
}

// Clicks the button as the mouse does; the menu's items are read while it is open.
MenuSeen clickButton(HWND bar, std::vector<WPARAM> keys = {}) {
    MenuSeen seen;
    seen.keys = std::move(keys);
    gMenuSeen = &seen;
    RECT item{};
    SendMessageA(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, readMenu);
    PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(bar, WM_LBUTTONUP, 0, at);
    wintest::waitFor([&] { return seen.done && !IsWindowVisible(seen.menuWindow); });
    KillTimer(nullptr, timer);
    wintest::pumpMessages();
    gMenuSeen = nullptr;
    return seen;
}

TEST_F(QuentaBandTest, ClickingTheButtonShowsTheMenuUnderIt) {
    HWND bar = placeInHost();
    RECT item{};
    SendMessageA(bar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(bar, HWND_DESKTOP, reinterpret_cast<POINT*>(&item), 2);

    const MenuSeen seen = clickButton(bar);
    ASSERT_TRUE(seen.done) << "no menu came up";
    EXPECT_EQ(seen.where.left, item.left);
    EXPECT_EQ(seen.where.top, item.bottom);
    const std::vector<std::string> texts = {"Download &All Pages", "Download &Current Page",
                                            "&Run Vexaro", "", "&Visit Vexaro Homepage"};
    EXPECT_EQ(seen.items, texts);
    const std::vector<UINT> ids = {103, 104, 105, 0, 106};
    EXPECT_EQ(seen.ids, ids);
    ASSERT_EQ(seen.states.size(), 5u);
    for (size_t i : {0u, 1u, 2u, 4u})
        EXPECT_EQ(seen.states[i] & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_CHECKED), 0u) << i;
    EXPECT_TRUE(seen.states[3] & MF_SEPARATOR);
}

TEST_F(QuentaBandTest, CurrentPageFromTheMenuHandsOverTheAddressAndStartsVexaroOnIt) {
    StubInstall install;
    browser_.address = L"http://127.0.0.1/a%20b/page.html?x=1&y=2";
    HWND bar = placeInHost();
    clickButton(bar, {VK_DOWN, VK_DOWN, VK_RETURN});

    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.exe(), "/current"));
    EXPECT_EQ(install.folder().read("cacheurl.xml").value_or("(none)"),
              "<URLCACHE>\r\n<URL>http://127.0.0.1/a%20b/page.html?x=1&y=2</URL>\r\n</URLCACHE>");
}

TEST_F(QuentaBandTest, AllPagesStartsVexaroWithAllAndLeavesTheHandOverFileAlone) {
    StubInstall install;
    ASSERT_TRUE(install.folder().write("cacheurl.xml", "older"));
    placeInHost();
    command(kAllPages);
    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.exe(), "/all"));
    EXPECT_EQ(install.folder().read("cacheurl.xml"), "older");
}

TEST_F(QuentaBandTest, RunStartsVexaroWithoutArguments) {
    StubInstall install;
    placeInHost();
    command(kRunVexaro);
    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.exe(), nullptr));
    EXPECT_FALSE(install.folder().read("cacheurl.xml"));
}

TEST_F(QuentaBandTest, HomePageStopsTheBrowserAndNavigatesThisWindow) {
    placeInHost();
    command(kHomePageCommand);
    const std::vector<std::string> calls = {
        "Stop", std::string("Navigate ") + kHomePage + " empty empty empty empty"};
    EXPECT_EQ(browser_.calls, calls);
}

TEST_F(QuentaBandTest, WithoutABrowserCurrentPageHandsOverAnEmptyAddressAndHomePageIsInert) {
    StubInstall install;
    TestSite noCommands(host_.hwnd(), &browser_, {.commandTarget = false});
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&noCommands)), S_OK);
    EXPECT_EQ(browser_.references, 1) << "the band holds no browser";
    command(kHomePageCommand);
    EXPECT_TRUE(browser_.calls.empty());
    command(kCurrentPage);
    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.exe(), "/current"));
    EXPECT_EQ(install.folder().read("cacheurl.xml"), vx::handOverBytes(""));
    withSite_->SetSite(nullptr);
}

TEST_F(QuentaBandTest, SiteWithoutTheBrowserServiceLeavesTheBandWithoutABrowser) {
    TestSite noBrowser(host_.hwnd(), &browser_, {.browserService = false});
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&noBrowser)), S_OK);
    TestSite noServices(host_.hwnd(), &browser_, {.serviceProvider = false});
    ASSERT_EQ(withSite_->SetSite(static_cast<IOleWindow*>(&noServices)), S_OK);
    command(kHomePageCommand);
    EXPECT_TRUE(browser_.calls.empty());
    withSite_->SetSite(nullptr);
}

TEST_F(QuentaBandTest, PageWithoutAnAddressHandsOverAnEmptyUrlElement) {
    StubInstall install;
    browser_.address.reset();
    placeInHost();
    command(kCurrentPage);
    EXPECT_EQ(install.startsOnceSettled(1).size(), 1u);
    EXPECT_EQ(install.folder().read("cacheurl.xml"), "<URLCACHE>\r\n<URL></URL>\r\n</URLCACHE>");
}

TEST_F(QuentaBandTest, UnwritableHandOverFileIsReportedAndVexaroStillStarts) {
    StubInstall install;
    // A folder where the file should be: it cannot be opened for writing, even by root.
    ASSERT_TRUE(CreateDirectoryA(install.folder().file("cacheurl.xml").c_str(), nullptr));
    browser_.address = L"http://127.0.0.1/page.html";
    placeInHost();
    wintest::MessageBoxCatcher boxes;
    command(kCurrentPage);
    ASSERT_TRUE(boxes.waitForCount(1));
    EXPECT_EQ(boxes.boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.boxes()[0].text, "Cannot open url cache file.");
    EXPECT_EQ(boxes.boxes()[0].buttons, std::vector<int>{IDOK});
    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.exe(), "/current"));
}

TEST_F(QuentaBandTest, InstallPathWithATrailingBackslashIsUsedAsStored) {
    StubInstall install;
    ASSERT_TRUE(install.installPath().setString(install.folder().path() + "\\"));
    browser_.address = L"http://127.0.0.1/page.html";
    placeInHost();
    command(kCurrentPage);
    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.folder().path() + "\\\\Vexaro.exe", "/current"));
    EXPECT_EQ(install.folder().read("cacheurl.xml"),
              vx::handOverBytes("http://127.0.0.1/page.html"));
}

TEST_F(QuentaBandTest, MissingInstallPathMakesTheCommandsDoNothing) {
    StubInstall install;
    ASSERT_TRUE(install.installPath().remove());
    browser_.address = L"http://127.0.0.1/page.html";
    placeInHost();
    for (int id : {kAllPages, kCurrentPage, kRunVexaro})
        command(id);
    EXPECT_TRUE(install.nothingStarted());
    EXPECT_FALSE(install.folder().read("cacheurl.xml"));
}

TEST_F(QuentaBandTest, InstallPathTooLongForItsBufferIsNeverReadPast) {
    StubInstall install;
    // The folder's own path padded with backslashes to 260 characters and more: it still names
    // the same folder, so taking it whole past the buffer would show.
    for (size_t length : {vx::kInstallPathBytes, vx::kInstallPathBytes + 40}) {
        std::string value = install.folder().path();
        value.resize(length, '\\');
        ASSERT_TRUE(install.installPath().setString(value));
        placeInHost();
        for (int id : {kAllPages, kCurrentPage, kRunVexaro})
            command(id);
        EXPECT_TRUE(install.nothingStarted()) << length;
        EXPECT_FALSE(install.folder().read("cacheurl.xml")) << length;
    }
}

// Stored below the registry functions, which would add the NUL themselves.
bool storeWithoutNul(const std::string& text) {
    using SetValue = LONG(NTAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, void*, ULONG);
    auto setValue = reinterpret_cast<SetValue>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
    HKEY key = nullptr;
    if (!setValue || RegCreateKeyExA(HKEY_CURRENT_USER, kVexaroKey, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    std::wstring wide(text.begin(), text.end());
    wchar_t valueName[] = L"InstallPath";
    UNICODE_STRING name{sizeof valueName - sizeof(wchar_t), sizeof valueName, valueName};
    const LONG status = setValue(key, &name, 0, REG_SZ, wide.data(),
                                 static_cast<ULONG>(wide.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == 0;
}

TEST_F(QuentaBandTest, InstallPathStoredWithoutItsNulMakesTheCommandsDoNothing) {
    StubInstall install;
    const std::string folder = install.folder().path();
    ASSERT_TRUE(storeWithoutNul(folder));
    // What the band's read gets: the text's bytes and no NUL among them.
    char read[300];
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_CURRENT_USER, kVexaroKey, &key), ERROR_SUCCESS);
    DWORD size = sizeof read;
    ASSERT_EQ(RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(read),
                               &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(size, folder.size());
    ASSERT_EQ(std::string(read, size), folder);

    browser_.address = L"http://127.0.0.1/page.html";
    placeInHost();
    for (int id : {kAllPages, kCurrentPage, kRunVexaro})
        command(id);
    EXPECT_TRUE(install.nothingStarted());
    EXPECT_FALSE(install.folder().read("cacheurl.xml"));
}

// A value that fills the 260-byte buffer exactly, NUL included, and one stored as the other
// string type, count as missing too; one byte shorter is taken.
TEST_F(QuentaBandTest, InstallPathFillingTheBufferOrOfAnotherTypeIsMissingAndShorterIsTaken) {
    StubInstall install;
    placeInHost();
    std::string filling = install.folder().path();
    filling.resize(vx::kInstallPathBytes - 1, '\\');
    ASSERT_TRUE(install.installPath().setString(filling));
    command(kRunVexaro);
    EXPECT_TRUE(install.nothingStarted());
    ASSERT_TRUE(install.installPath().setString(install.folder().path(), REG_EXPAND_SZ));
    command(kRunVexaro);
    EXPECT_TRUE(install.nothingStarted());

    ASSERT_TRUE(install.installPath().setString(install.folder().path()));
    command(kRunVexaro);
    const auto starts = install.startsOnceSettled(1);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], commandLineOf(install.exe(), nullptr));
}

}  // namespace

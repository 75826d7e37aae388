// The advanced frame, the album command and HTML Help under Wine: the frame opened from the main
// window, its menu, toolbar and status bar; the album command against album components that are
// missing or fail; the HTML Help loader and "User &Manual" on the built manual.
#include "app/win/advanced_frame.h"

#include <windows.h>
#include <commctrl.h>
#include <htmlhelp.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/win/browser_list_dlg.h"
#include "app/win/html_help.h"
#include "app/win/thumbnail_album.h"
#include "app/win/vexaro_app.h"
#include "resources/resource.h"
#include "ui/com.h"
#include "ui/message_box.h"
#include "ui/module.h"
#include "win_test_util.h"

namespace {

constexpr char kProgIdClassValue[] = "ThumbnailCreator.Thumbnail\\CLSID";
// {5B0E3C77-9D2A-4E61-A8F4-0C7B19E6D2A3}: the album components these tests play.
constexpr char kFakeClsidText[] = "{5B0E3C77-9D2A-4E61-A8F4-0C7B19E6D2A3}";
const CLSID kFakeClsid = {
    0x5B0E3C77, 0x9D2A, 0x4E61, {0xA8, 0xF4, 0x0C, 0x7B, 0x19, 0xE6, 0xD2, 0xA3}};

// The stand-in browser shell shows no windows, so the main window starts without a word.
const char kNoWindows[] = "<BROWSER>\r\n</BROWSER>\r\n";

const std::string kCreateFailed = "Unable to create ThumbnailCreator Instance!\n";

// An album component whose operation ends with `result`; counts the objects it makes.
class FakeAlbum final : public vx::IThumbnailAlbum {
  public:
    static inline HRESULT result = S_OK;
    static inline int created = 0;
    static inline int alive = 0;
    static inline int calls = 0;

    FakeAlbum() {
        ++created;
        ++alive;
    }
    ~FakeAlbum() { --alive; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == vx::IID_IThumbnailAlbum) {
            *out = static_cast<vx::IThumbnailAlbum*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateAlbum() override {
        ++calls;
        return result;
    }

  private:
    ULONG references_ = 0;
};

class FakeAlbumFactory final : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** out) override {
        auto* album = new FakeAlbum();
        album->AddRef();
        const HRESULT hr = album->QueryInterface(riid, out);
        album->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// "ThumbnailCreator.Thumbnail" names the fake component for one test; whatever the ProgID named
// before comes back afterwards.
class FakeAlbumRegistration {
  public:
    explicit FakeAlbumRegistration(HRESULT result)
        : progId_(HKEY_CLASSES_ROOT, kProgIdClassValue, "") {
        FakeAlbum::result = result;
        FakeAlbum::created = FakeAlbum::alive = FakeAlbum::calls = 0;
        registered_ = progId_.setString(kFakeClsidText) &&
                      SUCCEEDED(CoRegisterClassObject(kFakeClsid, &factory_, CLSCTX_INPROC_SERVER,
                                                      REGCLS_MULTIPLEUSE, &cookie_));
    }
    ~FakeAlbumRegistration() {
        if (cookie_)
            CoRevokeClassObject(cookie_);
    }
    bool registered() const { return registered_; }

  private:
    wintest::RegistryValueGuard progId_;
    FakeAlbumFactory factory_;
    DWORD cookie_ = 0;
    bool registered_ = false;
};

// No component answers to the ProgID for one test.
class NoAlbumRegistration {
  public:
    NoAlbumRegistration() : progId_(HKEY_CLASSES_ROOT, kProgIdClassValue, "") {
        removed_ = progId_.remove();
    }
    bool removed() const { return removed_; }

  private:
    wintest::RegistryValueGuard progId_;
    bool removed_ = false;
};

std::string strippedSystemText(HRESULT hr) {
    std::string text = ui::systemErrorText(static_cast<uint32_t>(hr)).value_or("");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// A left click on toolbar button `index`, as the mouse gives it.
void clickToolbarButton(HWND bar, int index) {
    RECT r{};
    SendMessageA(bar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(bar, WM_MOUSEMOVE, 0, at);
    SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(bar, WM_LBUTTONUP, 0, at);
}

class AdvancedFrame : public ::testing::Test {
  protected:
    AdvancedFrame() { windows_.write(kNoWindows); }
    ~AdvancedFrame() override {
        app_.ExitInstance();
        wintest::pumpMessages();
    }

    void SetUp() override { ASSERT_TRUE(main_.Create()); }

    void press(int id) {
        SendMessageA(main_.hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(main_.item(id)));
    }

    vx::CAdvancedFrame& openFrame() {
        press(IDC_ADVANCED);
        auto* frame = dynamic_cast<vx::CAdvancedFrame*>(app_.advancedFrame.get());
        if (!frame)
            throw std::runtime_error("the advanced frame did not open");
        return *frame;
    }

    ui::ComInit com_;
    wintest::StandinWindows windows_;
    vx::CVexaroApp app_;
    vx::CBrowserListDlg main_;
};

TEST_F(AdvancedFrame, OpensOnceAndCloseOrExitLetsANewOneOpen) {
    EXPECT_TRUE(IsWindowVisible(main_.item(IDC_ADVANCED)));
    HWND first = openFrame().hwnd();
    EXPECT_TRUE(IsWindowVisible(first));
    ShowWindow(first, SW_MINIMIZE);
    press(IDC_ADVANCED);
    EXPECT_EQ(app_.advancedFrame->hwnd(), first);
    EXPECT_FALSE(IsIconic(first));

    SendMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(app_.advancedFrame, nullptr);
    EXPECT_FALSE(IsWindow(first));

    HWND second = openFrame().hwnd();
    EXPECT_TRUE(IsWindow(second));
    SendMessageA(second, WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 0), 0);
    EXPECT_EQ(app_.advancedFrame, nullptr);
    EXPECT_FALSE(IsWindow(second));

    HWND third = openFrame().hwnd();
    app_.ExitInstance();
    EXPECT_EQ(app_.advancedFrame, nullptr);
    EXPECT_FALSE(IsWindow(third));
}

TEST_F(AdvancedFrame, HasItsTitleMenuToolbarAndStatusBar) {
    vx::CAdvancedFrame& f = openFrame();
    char title[64] = {};
    GetWindowTextA(f.hwnd(), title, sizeof title);
    EXPECT_STREQ(title, "Advanced");
    EXPECT_NE(SendMessageA(f.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageA(f.hwnd(), WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(f.hwnd(), GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
              static_cast<DWORD>(WS_OVERLAPPEDWINDOW));

    HMENU bar = GetMenu(f.hwnd());
    char text[128] = {};
    GetMenuStringA(bar, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    HMENU file = GetSubMenu(bar, 0);
    SendMessageA(f.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    struct Item {
        UINT id;
        const char* text;
        bool grey;
    };
    const Item expected[] = {{ID_NEW_PROJECT, "New Project...\t(Ctrl+N)", true},
                             {ID_CREATE_ALBUM, "&Create a Thumbnail Album...", false},
                             {0, "", false},
                             {ID_APP_EXIT, "&Exit", false}};
    ASSERT_EQ(GetMenuItemCount(file), 4);
    for (UINT i = 0; i < 4; ++i) {
        GetMenuStringA(file, i, text, sizeof text, MF_BYPOSITION);
        const UINT state = GetMenuState(file, i, MF_BYPOSITION);
        EXPECT_EQ(GetMenuItemID(file, static_cast<int>(i)), expected[i].id) << i;
        EXPECT_STREQ(text, expected[i].text) << i;
        if (expected[i].id != 0) {
            EXPECT_EQ((state & MF_GRAYED) != 0, expected[i].grey) << i;
        }
    }
    EXPECT_TRUE(GetMenuState(file, 2, MF_BYPOSITION) & MF_SEPARATOR);

    HWND toolbar = f.bar().hwnd();
    EXPECT_EQ(GetDlgCtrlID(toolbar), IDC_ADVANCED_TOOLBAR);
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 1);
    TBBUTTON button{};
    SendMessageA(toolbar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button));
    EXPECT_EQ(button.idCommand, ID_CREATE_ALBUM);
    NMTTDISPINFOA tip{};
    tip.hdr.hwndFrom = toolbar;
    tip.hdr.idFrom = ID_CREATE_ALBUM;
    tip.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(f.hwnd(), WM_NOTIFY, ID_CREATE_ALBUM, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip.lpszText, nullptr);
    EXPECT_STREQ(tip.lpszText, "Create a Thumbnail Album...");

    HWND status = f.status().hwnd();
    EXPECT_EQ(GetDlgCtrlID(status), static_cast<int>(ui::FrameWindow::kStatusBarId));
    EXPECT_EQ(SendMessageA(status, SB_GETPARTS, 0, 0), 4);
    EXPECT_EQ(f.status().message(), "Ready");
    SendMessageA(f.hwnd(), WM_MENUSELECT, MAKEWPARAM(ID_CREATE_ALBUM, MF_STRING),
                 reinterpret_cast<LPARAM>(file));
    EXPECT_EQ(f.status().message(), "Create a Thumbnail Album...");
}

TEST_F(AdvancedFrame, FailedSetUpLeavesNoPointerAndTheNextTryStartsAfresh) {
    // Without the program's resources the toolbar cannot be loaded, so creation fails.
    ui::setResourceModule(GetModuleHandleA("kernel32.dll"));
    press(IDC_ADVANCED);
    ui::setResourceModule(nullptr);
    EXPECT_EQ(app_.advancedFrame, nullptr);

    HWND frame = openFrame().hwnd();
    EXPECT_TRUE(IsWindowVisible(frame));
}

TEST_F(AdvancedFrame, WithoutAComponentMenuToolbarAndAlbumButtonSayTheSame) {
    NoAlbumRegistration none;
    ASSERT_TRUE(none.removed());
    vx::CAdvancedFrame& f = openFrame();
    wintest::MessageBoxCatcher boxes({IDOK});

    SendMessageA(f.hwnd(), WM_COMMAND, MAKEWPARAM(ID_CREATE_ALBUM, 0), 0);
    ASSERT_TRUE(boxes.waitForCount(1));
    clickToolbarButton(f.bar().hwnd(), 0);
    ASSERT_TRUE(boxes.waitForCount(2));
    ASSERT_TRUE(IsWindowVisible(main_.item(IDC_ALBUM)));
    SendMessageA(main_.item(IDC_ALBUM), BM_CLICK, 0, 0);
    ASSERT_TRUE(boxes.waitForCount(3));

    for (const wintest::CaughtBox& box : boxes.boxes()) {
        EXPECT_EQ(box.text, kCreateFailed);
        EXPECT_EQ(box.caption, ui::appTitle());
        EXPECT_EQ(box.iconStyle, static_cast<UINT>(MB_ICONEXCLAMATION));
    }
}

TEST_F(AdvancedFrame, AFailingOperationShowsItsCodeAsTheSystemOrDispatchErrorText) {
    struct Case {
        HRESULT code;
        std::string text;
    };
    const std::string accessDenied = strippedSystemText(E_ACCESSDENIED);
    ASSERT_FALSE(accessDenied.empty());
    ASSERT_FALSE(ui::systemErrorText(0x80040205).has_value());
    const Case cases[] = {{static_cast<HRESULT>(0x80040205), "IDispatch error #5"},
                          {E_ACCESSDENIED, accessDenied}};
    for (const Case& c : cases) {
        FakeAlbumRegistration fake(c.code);
        ASSERT_TRUE(fake.registered());
        wintest::MessageBoxCatcher boxes({IDOK});
        press(IDC_ALBUM);
        ASSERT_TRUE(boxes.waitForCount(1));
        EXPECT_EQ(boxes.boxes()[0].text, c.text);
        EXPECT_EQ(boxes.boxes()[0].iconStyle, static_cast<UINT>(MB_ICONEXCLAMATION));
        EXPECT_EQ(FakeAlbum::calls, 1);
        EXPECT_EQ(FakeAlbum::alive, 0);
    }
}

TEST_F(AdvancedFrame, TwoAlbumCommandsCreateTwoObjectsOneAfterTheOther) {
    FakeAlbumRegistration fake(S_OK);
    ASSERT_TRUE(fake.registered());
    vx::CAdvancedFrame& f = openFrame();
    wintest::MessageBoxCatcher boxes({IDOK});
    SendMessageA(f.hwnd(), WM_COMMAND, MAKEWPARAM(ID_CREATE_ALBUM, 0), 0);
    EXPECT_EQ(FakeAlbum::created, 1);
    EXPECT_EQ(FakeAlbum::alive, 0);
    SendMessageA(f.hwnd(), WM_COMMAND, MAKEWPARAM(ID_CREATE_ALBUM, 0), 0);
    EXPECT_EQ(FakeAlbum::created, 2);
    EXPECT_EQ(FakeAlbum::alive, 0);
    EXPECT_EQ(FakeAlbum::calls, 2);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(AlbumCommand, AClassIdentifierTextIsReadAsOne) {
    ui::ComInit com;
    FakeAlbumRegistration fake(S_OK);
    ASSERT_TRUE(fake.registered());
    vx::createThumbnailAlbum(nullptr, kFakeClsidText);
    EXPECT_EQ(FakeAlbum::calls, 1);
}

// The HTML Help windows of this process.
std::vector<HWND> helpWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetCurrentProcessId() && wintest::className(w) == "HH Parent" &&
                IsWindowVisible(w))
                reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST(HtmlHelpLoading, MissingLibraryShowsNothingAndIsNotTriedAgain) {
    std::vector<std::string> loads;
    vx::HtmlHelpLoader loader("CLSID\\{00000000-0000-0000-0000-00000000D0D0}\\InprocServer32",
                              "no-such-hhctrl.ocx", [&](const std::string& name) {
                                  loads.push_back(name);
                                  return LoadLibraryA(name.c_str());
                              });
    wintest::MessageBoxCatcher boxes({IDOK});
    EXPECT_EQ(loader.call(nullptr, "quenta.chm", HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_TRUE(loader.failed());
    EXPECT_EQ(loads, std::vector<std::string>{"no-such-hhctrl.ocx"});
    EXPECT_EQ(loader.call(nullptr, "quenta.chm", HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_EQ(loads.size(), 1u);
    wintest::pumpMessages();
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_TRUE(helpWindows().empty());
}

TEST(HtmlHelpLoading, TheRegisteredControlIsTriedFirstThenTheLibraryByName) {
    const std::string key = "CLSID\\{00000000-0000-0000-0000-00000000D0D1}\\InprocServer32";
    wintest::RegistryValueGuard registered(HKEY_CLASSES_ROOT, key, "");
    ASSERT_TRUE(registered.setString("C:\\missing\\hhctrl.ocx"));
    std::vector<std::string> loads;
    vx::HtmlHelpLoader loader(key, "hhctrl.ocx", [&](const std::string& name) {
        loads.push_back(name);
        return LoadLibraryA(name.c_str());
    });
    // A file that does not exist: HTML Help is there but shows nothing.
    wintest::MessageBoxCatcher boxes({IDOK});
    EXPECT_EQ(loader.call(nullptr, "Z:\\no\\such\\manual.chm", HH_DISPLAY_TOPIC, 0), nullptr);
    EXPECT_EQ(loads, (std::vector<std::string>{"C:\\missing\\hhctrl.ocx", "hhctrl.ocx"}));
    EXPECT_FALSE(loader.failed());
    EXPECT_NE(loader.library(), nullptr);
    wintest::pumpMessages();
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_TRUE(helpWindows().empty());
}

TEST(UserManual, OpensAnHtmlHelpWindowOnTheBuiltManual) {
    ASSERT_TRUE(wintest::readFile(wintest::besideTestProgram("quenta.chm")).has_value())
        << "the manual is built beside the program";
    ui::ComInit com;
    wintest::StandinWindows windows;
    windows.write(kNoWindows);
    vx::CVexaroApp app;
    vx::CBrowserListDlg main;
    wintest::MessageBoxCatcher boxes({IDOK});
    ASSERT_TRUE(main.Create());
    SendMessageA(main.hwnd(), WM_COMMAND, MAKEWPARAM(ID_USER_MANUAL, 0), 0);
    ASSERT_TRUE(wintest::waitFor([] { return !helpWindows().empty(); }));
    HWND help = helpWindows().front();
    EXPECT_EQ(wintest::textOf(help), "Vexaro User Manual");
    EXPECT_EQ(boxes.count(), 0u);
    vx::processHtmlHelp().call(nullptr, std::string(), HH_CLOSE_ALL, 0);
    wintest::waitFor([] { return helpWindows().empty(); });
}

}  // namespace

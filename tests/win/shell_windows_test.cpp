// The ShellWindows adapter enumerating the stand-in browser shell for real: CoCreateInstance,
// IShellWindows, IWebBrowser2, IHTMLDocument2 and the element interfaces, across COM.

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>

#include "download/collection.h"
#include "download/win/shell_windows.h"
#include "settings/download_settings.h"
#include "support/test_paths.h"
#include "win_test_util.h"

using Microsoft::WRL::ComPtr;

namespace {

using OpenWindows = wintest::StandinWindows;

std::string fixtureText(const char* name) {
    auto text = wintest::readFile(std::string(VX_FIXTURES_DIR) + "/standin/" + name);
    EXPECT_TRUE(text.has_value()) << name;
    return text.value_or("");
}

std::string registeredServer() {
    char value[MAX_PATH * 2] = {};
    LONG size = sizeof value;
    if (RegQueryValueA(HKEY_CLASSES_ROOT,
                       "CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32", value,
                       &size) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

class ShellWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        const std::string server = registeredServer();
        ASSERT_NE(server.find("StandinShell.dll"), std::string::npos)
            << "the stand-in shell is not registered (run through scripts/wine-run): " << server;
    }
    void TearDown() override { CoUninitialize(); }

    std::unique_ptr<vx::BrowserWindowSource> open() {
        long failure = 0;
        auto source = vx::createShellWindowSource(&failure);
        EXPECT_NE(source, nullptr) << std::hex << failure;
        return source;
    }

    OpenWindows windows_;
};

TEST_F(ShellWindowsTest, ListsHtmlPagesInIndexOrderAndPassesOverFolderWindows) {
    windows_.write(fixtureText("pages.xml"));
    auto source = open();
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->windowCount(), 4);

    auto first = source->page(0);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->address, "http://127.0.0.1/album/index.html");
    EXPECT_EQ(first->document->title(), "Holiday photos");

    auto untitled = source->page(1);
    ASSERT_TRUE(untitled.has_value());
    EXPECT_EQ(untitled->address, "http://127.0.0.1/untitled/");
    EXPECT_EQ(untitled->document->title(), "");

    EXPECT_FALSE(source->page(2).has_value()) << "a folder window has no HTML document";

    // Bytes of the system code page survive the trip through UTF-16 both ways.
    auto ansi = source->page(3);
    ASSERT_TRUE(ansi.has_value());
    EXPECT_EQ(ansi->document->title(), "Caf\xE9 & bar");
    EXPECT_EQ(ansi->address, "http://127.0.0.1/caf\xE9/");

    EXPECT_FALSE(source->page(4).has_value());
    EXPECT_FALSE(source->page(-1).has_value());
}

TEST_F(ShellWindowsTest, ReadsImagesWithTheirLaidOutSizesInPageOrder) {
    windows_.write(fixtureText("pages.xml"));
    auto source = open();
    ASSERT_NE(source, nullptr);
    auto page = source->page(0);
    ASSERT_TRUE(page.has_value());
    vx::PageDocument& document = *page->document;

    ASSERT_EQ(document.imageCount(), 3);
    auto beach = document.image(0);
    ASSERT_TRUE(beach.has_value());
    EXPECT_EQ(beach->source, "http://127.0.0.1/album/beach.jpg");
    EXPECT_EQ(beach->width, 800);
    EXPECT_EQ(beach->height, 600);
    auto thumb = document.image(1);
    ASSERT_TRUE(thumb.has_value());
    EXPECT_EQ(thumb->source, "http://127.0.0.1/album/thumb.gif");
    EXPECT_EQ(thumb->width, 80);
    EXPECT_EQ(thumb->height, 60);
    auto empty = document.image(2);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->source, "");
    EXPECT_FALSE(document.image(3).has_value());

    // Missing sizes read as 0.
    auto untitled = source->page(1);
    ASSERT_TRUE(untitled.has_value());
    ASSERT_EQ(untitled->document->imageCount(), 1);
    auto logo = untitled->document->image(0);
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(logo->width, 0);
    EXPECT_EQ(logo->height, 0);
}

TEST_F(ShellWindowsTest, ReadsAnchorTargetsAndPassesOverAreas) {
    windows_.write(fixtureText("pages.xml"));
    auto source = open();
    ASSERT_NE(source, nullptr);
    auto page = source->page(0);
    ASSERT_TRUE(page.has_value());
    vx::PageDocument& document = *page->document;

    ASSERT_EQ(document.linkCount(), 3);
    EXPECT_EQ(document.linkTarget(0), "http://127.0.0.1/album/theme.MP3");
    EXPECT_FALSE(document.linkTarget(1).has_value()) << "an area element is not an anchor";
    EXPECT_EQ(document.linkTarget(2), "http://127.0.0.1/album/intro.swf");
    EXPECT_FALSE(document.linkTarget(3).has_value());

    auto empty = source->page(3);
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->document->imageCount(), 0);
    EXPECT_EQ(empty->document->linkCount(), 0);
}

TEST_F(ShellWindowsTest, EachNewCollectionSeesTheWindowsOpenAtItsCreation) {
    windows_.write(fixtureText("pages.xml"));
    auto before = open();
    ASSERT_NE(before, nullptr);

    windows_.write(fixtureText("other-pages.xml"));
    auto after = open();
    ASSERT_NE(after, nullptr);
    ASSERT_EQ(after->windowCount(), 1);
    auto music = after->page(0);
    ASSERT_TRUE(music.has_value());
    EXPECT_EQ(music->address, "http://127.0.0.1/music/list.html");
    EXPECT_EQ(music->document->linkTarget(0), "http://127.0.0.1/music/one.mp3");

    EXPECT_EQ(before->windowCount(), 4) << "an existing collection keeps its own windows";

    windows_.remove();
    auto none = open();
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->windowCount(), 0);
    EXPECT_FALSE(none->page(0).has_value());
}

TEST_F(ShellWindowsTest, AddressesComeBackWholeWhateverTheirLength) {
    const std::string longAddress = "http://127.0.0.1/" + std::string(700, 'a') + ".html";
    windows_.write("<BROWSER><WINDOW TITLE=\"Long\" URL=\"" + longAddress + "\"><A HREF=\"" +
                   longAddress + "\"/></WINDOW></BROWSER>");
    auto source = open();
    ASSERT_NE(source, nullptr);
    auto page = source->page(0);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->address, longAddress);
    EXPECT_EQ(page->document->linkTarget(0), longAddress);
}

TEST_F(ShellWindowsTest, ABrokenWindowListFailsTheCreation) {
    windows_.write("<BROWSER><WINDOW TITLE=\"x\"></BROWSER>");
    long failure = 0;
    EXPECT_EQ(vx::createShellWindowSource(&failure), nullptr);
    EXPECT_EQ(failure, HRESULT_FROM_WIN32(ERROR_INVALID_DATA));

    windows_.write("<WINDOWS/>");
    EXPECT_EQ(vx::createShellWindowSource(&failure), nullptr);
}

TEST_F(ShellWindowsTest, SessionCollectsTheListedPagesThroughTheShell) {
    windows_.write(fixtureText("pages.xml"));
    auto source = open();
    ASSERT_NE(source, nullptr);
    vx::DownloadSettings settings;
    settings.typeImages = 1;
    settings.typeMp3 = 1;
    settings.typeFlash = 1;
    settings.limitResolution = 1;
    settings.resolutions = {vx::ResolutionCap{80, 60}};
    vx::PageUrlList pageUrls;
    pageUrls.appendPageUrl("http://127.0.0.1/untitled");
    pageUrls.appendPageUrl("http://127.0.0.1/album/index.html");
    pageUrls.appendPageUrl("file:///C:/Users");
    std::atomic<int32_t> running{1};
    vx::MediaUrlList media;
    vx::collectSessionMedia(*source, pageUrls, settings, running, media, nullptr);
    EXPECT_EQ(media,
              (vx::MediaUrlList{
                  "http://127.0.0.1/album/beach.jpg", "http://127.0.0.1/album/theme.MP3",
                  "http://127.0.0.1/album/intro.swf", "http://127.0.0.1/untitled/logo.png"}));

    const auto listed = vx::listBrowserWindows(*source);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[1].title, "");
    EXPECT_EQ(listed[2].address, "http://127.0.0.1/caf\xE9/");
}

// The stand-in's own COM contract, as the product's adapter does not exercise all of it.
class StandinShellTest : public ShellWindowsTest {
  protected:
    ComPtr<IShellWindows> create() {
        ComPtr<IShellWindows> windows;
        EXPECT_EQ(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(windows.GetAddressOf())),
                  S_OK);
        return windows;
    }
    static VARIANT number(VARTYPE type, LONG value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = type;
        if (type == VT_I2) {
            V_I2(&v) = static_cast<SHORT>(value);
        } else {
            V_I4(&v) = value;
        }
        return v;
    }
};

TEST_F(StandinShellTest, BrowsersAnswerTheirLocationAndKeepTheirIdentity) {
    windows_.write(fixtureText("pages.xml"));
    auto windows = create();
    ASSERT_TRUE(windows);

    ComPtr<IDispatch> item;
    ASSERT_EQ(windows->Item(number(VT_I2, 0), item.GetAddressOf()), S_OK);
    ComPtr<IWebBrowser2> browser;
    ASSERT_EQ(item.As(&browser), S_OK);
    BSTR text = nullptr;
    ASSERT_EQ(browser->get_LocationURL(&text), S_OK);
    EXPECT_STREQ(text, L"http://127.0.0.1/album/index.html");
    SysFreeString(text);
    ASSERT_EQ(browser->get_LocationName(&text), S_OK);
    EXPECT_STREQ(text, L"Holiday photos");
    SysFreeString(text);
    EXPECT_EQ(browser->Navigate(nullptr, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);

    ComPtr<IDispatch> again;
    ASSERT_EQ(windows->Item(number(VT_I4, 0), again.GetAddressOf()), S_OK);
    ComPtr<IUnknown> a, b;
    item.As(&a);
    again.As(&b);
    EXPECT_EQ(a.Get(), b.Get()) << "one window, one browser object";

    ComPtr<IDispatch> past;
    EXPECT_EQ(windows->Item(number(VT_I4, 4), past.GetAddressOf()), S_FALSE);
    EXPECT_FALSE(past);
}

TEST_F(StandinShellTest, AFolderWindowHoldsNoHtmlDocument) {
    windows_.write(fixtureText("pages.xml"));
    auto windows = create();
    ASSERT_TRUE(windows);
    ComPtr<IDispatch> item;
    ASSERT_EQ(windows->Item(number(VT_I4, 2), item.GetAddressOf()), S_OK);
    ComPtr<IWebBrowser2> browser;
    ASSERT_EQ(item.As(&browser), S_OK);
    ComPtr<IDispatch> document;
    ASSERT_EQ(browser->get_Document(document.GetAddressOf()), S_OK);
    ASSERT_TRUE(document);
    ComPtr<IHTMLDocument2> html;
    EXPECT_EQ(document.As(&html), E_NOINTERFACE);
}

TEST_F(StandinShellTest, LinkCollectionHoldsAreasThatAreNotAnchors) {
    windows_.write(fixtureText("pages.xml"));
    auto windows = create();
    ASSERT_TRUE(windows);
    ComPtr<IDispatch> item, documentDispatch, area;
    ComPtr<IWebBrowser2> browser;
    ComPtr<IHTMLDocument2> document;
    ComPtr<IHTMLElementCollection> links;
    ASSERT_EQ(windows->Item(number(VT_I4, 0), item.GetAddressOf()), S_OK);
    ASSERT_EQ(item.As(&browser), S_OK);
    ASSERT_EQ(browser->get_Document(documentDispatch.GetAddressOf()), S_OK);
    ASSERT_EQ(documentDispatch.As(&document), S_OK);
    ASSERT_EQ(document->get_links(links.GetAddressOf()), S_OK);
    LONG length = 0;
    ASSERT_EQ(links->get_length(&length), S_OK);
    EXPECT_EQ(length, 3);
    ASSERT_EQ(links->item(number(VT_I4, 1), number(VT_I4, 1), area.GetAddressOf()), S_OK);
    ASSERT_TRUE(area);
    ComPtr<IHTMLAnchorElement> anchor;
    EXPECT_EQ(area.As(&anchor), E_NOINTERFACE);
    ComPtr<IDispatch> past;
    EXPECT_TRUE(FAILED(links->item(number(VT_I4, 3), number(VT_I4, 3), past.GetAddressOf())));
}

TEST_F(StandinShellTest, ModuleStaysLoadedWhileObjectsOrLocksRemain) {
    windows_.write(fixtureText("pages.xml"));
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_ShellWindows, CLSCTX_INPROC_SERVER, nullptr,
                               IID_PPV_ARGS(factory.GetAddressOf())),
              S_OK);
    HMODULE module = GetModuleHandleA("StandinShell.dll");
    ASSERT_NE(module, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);

    ComPtr<IShellWindows> windows;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(windows.GetAddressOf())), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "a window collection is alive";

    ComPtr<IDispatch> item;
    ASSERT_EQ(windows->Item(number(VT_I4, 0), item.GetAddressOf()), S_OK);
    windows.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "a browser handed out outlives its collection";
    item.Reset();
    EXPECT_EQ(canUnload(), S_OK);

    ASSERT_EQ(CoGetClassObject(CLSID_ShellWindows, CLSCTX_INPROC_SERVER, nullptr,
                               IID_PPV_ARGS(factory.GetAddressOf())),
              S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_FALSE) << "locked";
    ASSERT_EQ(CoGetClassObject(CLSID_ShellWindows, CLSCTX_INPROC_SERVER, nullptr,
                               IID_PPV_ARGS(factory.GetAddressOf())),
              S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(StandinShellTest, UnregisteringGivesBackTheServerItReplaced) {
    const std::string ours = registeredServer();
    HMODULE module = LoadLibraryA(ours.c_str());
    ASSERT_NE(module, nullptr);
    using Entry = HRESULT(STDAPICALLTYPE*)();
    auto registerServer = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    auto unregisterServer = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);

    EXPECT_EQ(unregisterServer(), S_OK);
    const std::string restored = registeredServer();
    EXPECT_EQ(registerServer(), S_OK);  // before any assertion can end the test
    EXPECT_NE(restored, ours);

    EXPECT_TRUE(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, registeredServer().c_str(), -1,
                               ours.c_str(), -1) == CSTR_EQUAL);
    char model[32] = {};
    DWORD size = sizeof model;
    ASSERT_EQ(RegGetValueA(HKEY_CLASSES_ROOT,
                           "CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\InprocServer32",
                           "ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(model, "Apartment");
    // Registering twice keeps what the first registration replaced.
    EXPECT_EQ(registerServer(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(registeredServer(), restored);
    EXPECT_EQ(registerServer(), S_OK);
    FreeLibrary(module);
}

}  // namespace

#include "settings/win/tree_prop_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/file_system.h"
#include "base/win/module_file.h"
#include "resources/resource.h"
#include "settings/toolbar_button.h"
#include "settings/win/settings_sheet.h"
#include "settings/win/theme_library.h"
#include "ui/com.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/text.h"
#include <uxtheme.h>
#include "win_test_util.h"

namespace {

// Pages of the generic sheet tests, built in memory.
const DLGTEMPLATE* plainPageTemplate() {
    static const wintest::DialogTemplate t = [] {
        wintest::DialogTemplate d("Plain", 220, 120,
                                  WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT);
        d.checkBox(100, "&Option", 10, 10, 100, 10).edit(101, 10, 30, 120, 12);
        return d;
    }();
    return t.get();
}

class TestPage : public ui::PropertyPage {
  public:
    explicit TestPage(std::string title) : PropertyPage(plainPageTemplate(), std::move(title)) {}

    bool refuseToLeave = false;
    int activations = 0;
    int applies = 0;

  protected:
    bool OnSetActive() override {
        ++activations;
        return true;
    }
    bool OnKillActive() override { return !refuseToLeave; }
    bool OnApply() override {
        ++applies;
        return true;
    }
};

// The sheet's keyboard handling is part of its message loop; tests pump the same way.
void pumpSheet(ui::PropSheet& sheet) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!sheet.preTranslateMessage(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

// Holds Ctrl (and Shift) down in this thread's keyboard state while a key message is handled.
class HeldKeys {
  public:
    explicit HeldKeys(bool shift) {
        GetKeyboardState(saved_);
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_CONTROL] = state[VK_LCONTROL] = 0x80;
        if (shift)
            state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
        SetKeyboardState(state);
    }
    ~HeldKeys() { SetKeyboardState(saved_); }

  private:
    BYTE saved_[256];
};

void pressCtrlTab(vx::CTreePropSheet& sheet, bool shift) {
    HeldKeys keys(shift);
    HWND target = GetFocus();
    if (!target || (target != sheet.hwnd() && !IsChild(sheet.hwnd(), target)))
        target = sheet.GetPageTreeControl();
    PostMessageA(target, WM_KEYDOWN, VK_TAB, 0);
    pumpSheet(sheet);
    PostMessageA(target, WM_KEYUP, VK_TAB, 0xC0000000);
    pumpSheet(sheet);
}

HTREEITEM selectedItem(HWND tree) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

struct TreeNode {
    std::string text;
    LPARAM page;
    int image;
    int depth;
};

// The tree as shown, in tree order.
std::vector<TreeNode> readTree(HWND tree) {
    std::vector<TreeNode> nodes;
    std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM item, int depth) {
        for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageA(
                         tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
            char buffer[256] = {};
            TVITEMA data{};
            data.mask = TVIF_TEXT | TVIF_HANDLE | TVIF_PARAM | TVIF_IMAGE;
            data.hItem = item;
            data.pszText = buffer;
            data.cchTextMax = sizeof buffer;
            SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
            nodes.push_back({buffer, data.lParam, data.iImage, depth});
            walk(reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                          reinterpret_cast<LPARAM>(item))),
                 depth + 1);
        }
    };
    walk(reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
    return nodes;
}

HICON makeIcon(COLORREF color) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    ImageList_Add(list, bitmap, nullptr);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    HICON icon = ImageList_GetIcon(list, 0, ILD_NORMAL);
    ImageList_Destroy(list);
    return icon;
}

HIMAGELIST makeImageList(int count) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, count, 1);
    for (int i = 0; i < count; ++i) {
        HICON icon = makeIcon(RGB(40 * i, 200, 0));
        ImageList_AddIcon(list, icon);
        DestroyIcon(icon);
    }
    return list;
}

RECT windowRectIn(HWND window, HWND parent) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int width(const RECT& r) {
    return r.right - r.left;
}
int height(const RECT& r) {
    return r.bottom - r.top;
}

class TreeSheet : public ::testing::Test {
  protected:
    void open(std::vector<std::string> titles, bool caption = true, bool images = true,
              int active = 0) {
        for (auto& title : titles)
            pages.push_back(std::make_unique<TestPage>(title));
        sheet = std::make_unique<vx::CTreePropSheet>("Tree sheet");
        for (auto& page : pages)
            ASSERT_TRUE(sheet->AddPage(*page));
        sheet->SetTreeViewMode(true, caption, images);
        if (defaultImages) {
            ASSERT_TRUE(sheet->SetTreeDefaultImages(defaultImages));
        }
        sheet->SetActivePage(active);
        ASSERT_TRUE(sheet->Create());
        tree = sheet->GetPageTreeControl();
        ASSERT_NE(tree, nullptr);
        pumpSheet(*sheet);
    }
    void TearDown() override {
        sheet.reset();
        pages.clear();
        if (defaultImages)
            ImageList_Destroy(defaultImages);
    }
    std::string selectedText() const { return ui::treeItemText(tree, selectedItem(tree)); }
    bool pageShown(int index) const {
        HWND window = pages[index]->hwnd();
        return window && IsWindowVisible(window);
    }

    std::vector<std::unique_ptr<TestPage>> pages;
    std::unique_ptr<vx::CTreePropSheet> sheet;
    HWND tree = nullptr;
    HIMAGELIST defaultImages = nullptr;
};

TEST_F(TreeSheet, ReplacesTheTabsByATreeAndAFrame) {
    // The same pages on a sheet with tabs, for the size comparison.
    TestPage tabA("Download Setting"), tabB("System Setting");
    vx::CTreePropSheet tabbed("Tabbed");
    tabbed.AddPage(tabA);
    tabbed.AddPage(tabB);
    tabbed.SetTreeViewMode(false);
    ASSERT_TRUE(tabbed.Create());
    RECT tabbedRect{};
    GetWindowRect(tabbed.hwnd(), &tabbedRect);
    EXPECT_EQ(tabbed.GetPageTreeControl(), nullptr);
    EXPECT_TRUE(IsWindowVisible(tabbed.tabControl()));

    open({"Download Setting", "System Setting"});
    RECT sheetRect{};
    GetWindowRect(sheet->hwnd(), &sheetRect);
    EXPECT_EQ(width(sheetRect), width(tabbedRect) + 150);
    EXPECT_EQ(height(sheetRect), height(tabbedRect));

    HWND tab = sheet->tabControl();
    EXPECT_FALSE(IsWindowVisible(tab));
    EXPECT_FALSE(IsWindowEnabled(tab));

    char name[64] = {};
    GetClassNameA(tree, name, sizeof name);
    EXPECT_STREQ(name, "SysTreeView32");
    EXPECT_EQ(ui::windowText(tree), "PageTree");
    EXPECT_EQ(GetDlgCtrlID(tree), 32494);
    LONG style = GetWindowLongA(tree, GWL_STYLE);
    EXPECT_EQ(style & (TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS),
              TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS);
    EXPECT_TRUE(GetWindowLongA(tree, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    HWND frame = GetDlgItem(sheet->hwnd(), 0xFFFF);
    ASSERT_EQ(frame, sheet->pageFrame().hwnd());
    EXPECT_EQ(ui::windowText(frame), "Page Frame");

    // The frame stands where the tab control stands, the tree left of it, 5 pixels short of the
    // tree width, over the same height.
    RECT tabRect = windowRectIn(tab, sheet->hwnd());
    RECT frameRect = windowRectIn(frame, sheet->hwnd());
    RECT treeRect = windowRectIn(tree, sheet->hwnd());
    EXPECT_EQ(frameRect.left, tabRect.left);
    EXPECT_EQ(frameRect.top, tabRect.top);
    EXPECT_EQ(width(frameRect), width(tabRect));
    EXPECT_EQ(treeRect.left, tabRect.left - 150);
    EXPECT_EQ(width(treeRect), 145);
    EXPECT_EQ(treeRect.top, tabRect.top);
    EXPECT_EQ(height(treeRect), height(tabRect));

    // The page lies inside the frame, below the caption bar.
    RECT pageRect = windowRectIn(pages[0]->hwnd(), sheet->hwnd());
    RECT bar = sheet->pageFrame().captionRect();
    EXPECT_GT(height(bar), 0);
    EXPECT_EQ(pageRect.top, frameRect.top + bar.bottom + 1);
    // The bar is as high as one tab item (these pages have no icons).
    RECT tabItem{};
    ASSERT_TRUE(TabCtrl_GetItemRect(tab, 0, &tabItem));
    EXPECT_EQ(height(bar), height(tabItem));
    EXPECT_GE(pageRect.left, frameRect.left);
    EXPECT_LE(pageRect.right, frameRect.right);
    EXPECT_LE(pageRect.bottom, frameRect.bottom);

    auto nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0].text, "Download Setting");
    EXPECT_EQ(nodes[0].page, 0);
    EXPECT_EQ(nodes[0].depth, 0);
    EXPECT_EQ(nodes[1].text, "System Setting");
    EXPECT_EQ(nodes[1].page, 1);
    EXPECT_EQ(nodes[1].depth, 0);
    EXPECT_EQ(selectedText(), "Download Setting");
    EXPECT_EQ(sheet->pageFrame().captionText(), "Download Setting");
}

TEST_F(TreeSheet, SelectingAnItemShowsItsPage) {
    open({"First", "Second", "Third"}, true, true, 1);
    EXPECT_EQ(selectedText(), "Second");
    EXPECT_EQ(sheet->GetActiveIndex(), 1);

    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(sheet->treeItem(2)));
    pumpSheet(*sheet);
    EXPECT_EQ(sheet->GetActiveIndex(), 2);
    EXPECT_TRUE(pageShown(2));
    EXPECT_FALSE(pageShown(1));
    EXPECT_EQ(sheet->pageFrame().captionText(), "Third");
    EXPECT_EQ(GetFocus(), tree);

    // Chosen from the program: the tree follows.
    ASSERT_TRUE(sheet->SetActivePage(0));
    pumpSheet(*sheet);
    EXPECT_EQ(selectedText(), "First");
    EXPECT_EQ(sheet->pageFrame().captionText(), "First");
    // Every page lands in the same place.
    EXPECT_EQ(windowRectIn(pages[0]->hwnd(), sheet->hwnd()).top,
              windowRectIn(pages[2]->hwnd(), sheet->hwnd()).top);
    EXPECT_EQ(windowRectIn(pages[0]->hwnd(), sheet->hwnd()).left,
              windowRectIn(pages[2]->hwnd(), sheet->hwnd()).left);
}

TEST_F(TreeSheet, APageThatRefusesToBeLeftKeepsTheSelection) {
    open({"First", "Second"});
    pages[0]->refuseToLeave = true;
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(sheet->treeItem(1)));
    pumpSheet(*sheet);
    EXPECT_EQ(selectedText(), "First");
    EXPECT_EQ(sheet->GetActiveIndex(), 0);
    EXPECT_TRUE(pageShown(0));

    pages[0]->refuseToLeave = false;
    pressCtrlTab(*sheet, false);
    EXPECT_EQ(selectedText(), "Second");
    EXPECT_EQ(sheet->GetActiveIndex(), 1);
}

TEST_F(TreeSheet, CtrlTabWrapsAroundBothWays) {
    open({"Download Setting", "System Setting"});
    ASSERT_EQ(selectedText(), "Download Setting");
    pressCtrlTab(*sheet, true);
    EXPECT_EQ(selectedText(), "System Setting");
    EXPECT_EQ(sheet->GetActiveIndex(), 1);
    EXPECT_TRUE(pageShown(1));
    pressCtrlTab(*sheet, false);
    EXPECT_EQ(selectedText(), "Download Setting");
    EXPECT_EQ(sheet->GetActiveIndex(), 0);
    pressCtrlTab(*sheet, false);
    EXPECT_EQ(selectedText(), "System Setting");
    pressCtrlTab(*sheet, false);
    EXPECT_EQ(selectedText(), "Download Setting");
}

TEST_F(TreeSheet, TitlesWithLevelsMakeANestedTree) {
    defaultImages = makeImageList(2);
    open({"Network::Proxy", "Network::Cache", "Look", "Odd\\::Name", "Network"});
    auto nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[0].text, "Network");
    EXPECT_EQ(nodes[0].page, 4);  // the page titled "Network" took the group's item
    EXPECT_EQ(nodes[1].text, "Proxy");
    EXPECT_EQ(nodes[1].depth, 1);
    EXPECT_EQ(nodes[2].text, "Cache");
    EXPECT_EQ(nodes[3].text, "Look");
    EXPECT_EQ(nodes[4].text, "Odd::Name");
    EXPECT_EQ(nodes[4].page, 3);

    // Ctrl+Tab walks in tree order, into the children and out again.
    std::vector<std::string> seen;
    for (int i = 0; i < 5; ++i) {
        pressCtrlTab(*sheet, false);
        seen.push_back(selectedText());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Cache", "Look", "Odd::Name", "Network", "Proxy"}));
}

TEST_F(TreeSheet, AnItemWithoutAPageHidesThePage) {
    defaultImages = makeImageList(2);
    open({"Group::A", "Group::B"});
    auto nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].text, "Group");
    EXPECT_EQ(nodes[0].page, -1);
    int imageCount = ImageList_GetImageCount(sheet->treeImageList());
    EXPECT_EQ(nodes[0].image, imageCount - 2);  // the first default image

    ASSERT_EQ(selectedText(), "A");
    pressCtrlTab(*sheet, true);
    EXPECT_EQ(selectedText(), "Group");
    EXPECT_FALSE(pageShown(0));
    EXPECT_EQ(sheet->pageFrame().captionText(), "Group");
    pressCtrlTab(*sheet, true);  // back from the first item: the last one
    EXPECT_EQ(selectedText(), "B");
    EXPECT_TRUE(pageShown(1));
    pressCtrlTab(*sheet, false);  // on from the last item: the first one
    EXPECT_EQ(selectedText(), "Group");
    EXPECT_FALSE(pageShown(1));
    EXPECT_EQ(sheet->GetActiveIndex(), 1);
    // Back to the page that was hidden: it shows again.
    pressCtrlTab(*sheet, true);
    EXPECT_EQ(selectedText(), "B");
    EXPECT_TRUE(pageShown(1));
    pages[1]->refuseToLeave = true;
    pressCtrlTab(*sheet, false);
    EXPECT_EQ(selectedText(), "B");
    EXPECT_TRUE(pageShown(1));
}

TEST_F(TreeSheet, ImagesComeFromPageIconsThenTheDefaults) {
    HICON icon = makeIcon(RGB(255, 0, 0));
    defaultImages = makeImageList(2);
    pages.push_back(std::make_unique<TestPage>("With icon"));
    pages.back()->setIcon(icon);
    open({"Without icon"});
    auto nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 2u);
    int imageCount = ImageList_GetImageCount(sheet->treeImageList());
    EXPECT_EQ(imageCount, 3);  // one page icon, two default images
    EXPECT_EQ(nodes[0].text, "With icon");
    EXPECT_EQ(nodes[0].image, 0);
    EXPECT_EQ(nodes[1].text, "Without icon");
    EXPECT_EQ(nodes[1].image, 2);  // the second default image
    sheet.reset();
    DestroyIcon(icon);
}

TEST(SettingsTreeSheet, DefaultImagesMustBeExactlyTwo) {
    vx::CTreePropSheet sheet("Images");
    HIMAGELIST one = makeImageList(1);
    HIMAGELIST three = makeImageList(3);
    HIMAGELIST two = makeImageList(2);
    EXPECT_FALSE(sheet.SetTreeDefaultImages(nullptr));
    EXPECT_FALSE(sheet.SetTreeDefaultImages(one));
    EXPECT_FALSE(sheet.SetTreeDefaultImages(three));
    EXPECT_FALSE(sheet.hasDefaultImages());

    TestPage page("Only");
    sheet.AddPage(page);
    sheet.SetTreeViewMode(true, true, true);
    ASSERT_TRUE(sheet.Create());
    // Without default images only the page icons are in the tree's list (here: none), and an
    // item without a valid icon shows nothing.
    EXPECT_EQ(ImageList_GetImageCount(sheet.treeImageList()), 0);
    auto nodes = readTree(sheet.GetPageTreeControl());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].image, I_IMAGENONE);

    EXPECT_TRUE(sheet.SetTreeDefaultImages(two));
    EXPECT_EQ(ImageList_GetImageCount(sheet.treeImageList()), 2);
    nodes = readTree(sheet.GetPageTreeControl());
    EXPECT_EQ(nodes[0].image, 1);
    // The modes are fixed once the window exists.
    EXPECT_FALSE(sheet.SetTreeViewMode(false));
    EXPECT_TRUE(sheet.isTreeViewMode());
    ImageList_Destroy(one);
    ImageList_Destroy(two);
    ImageList_Destroy(three);
}

TEST_F(TreeSheet, PagesAddedAndRemovedWhileOpen) {
    open({"First", "Second"});
    TestPage added("Added::Later");
    ASSERT_TRUE(sheet->AddPage(added));
    pumpSheet(*sheet);
    auto nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[2].text, "Added");
    EXPECT_EQ(nodes[3].text, "Later");
    EXPECT_EQ(nodes[3].page, 2);
    EXPECT_EQ(selectedText(), "First");

    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(sheet->treeItem(3)));
    pumpSheet(*sheet);
    EXPECT_EQ(sheet->GetActiveIndex(), 2);
    EXPECT_TRUE(IsWindowVisible(added.hwnd()));

    ASSERT_TRUE(sheet->RemovePage(0));
    pumpSheet(*sheet);
    nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].text, "Second");
    EXPECT_EQ(nodes[0].page, 0);
    EXPECT_EQ(nodes[2].page, 1);
    EXPECT_EQ(selectedText(), "Later");
    EXPECT_EQ(sheet->GetActivePage(), &added);

    // Removing the active page activates another one, and the tree follows.
    ASSERT_TRUE(sheet->RemovePage(added));
    pumpSheet(*sheet);
    nodes = readTree(tree);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(selectedText(), "Second");
    EXPECT_EQ(sheet->GetActiveIndex(), 0);
}

TEST_F(TreeSheet, WithoutCaptionTheFrameAndSheetShrink) {
    vx::CTreePropSheet withCaption("Caption");
    TestPage a("A");
    withCaption.AddPage(a);
    withCaption.SetTreeViewMode(true, true, false);
    ASSERT_TRUE(withCaption.Create());
    RECT captionSheet{};
    GetWindowRect(withCaption.hwnd(), &captionSheet);
    RECT captionFrame = windowRectIn(withCaption.pageFrame().hwnd(), withCaption.hwnd());
    int bar = height(withCaption.pageFrame().captionRect());
    RECT okWith = windowRectIn(GetDlgItem(withCaption.hwnd(), IDOK), withCaption.hwnd());

    open({"A"}, false, false);
    RECT plainSheet{};
    GetWindowRect(sheet->hwnd(), &plainSheet);
    RECT plainFrame = windowRectIn(sheet->pageFrame().hwnd(), sheet->hwnd());
    RECT okWithout = windowRectIn(GetDlgItem(sheet->hwnd(), IDOK), sheet->hwnd());
    EXPECT_GT(bar, 0);
    EXPECT_EQ(height(plainSheet), height(captionSheet) - bar);
    EXPECT_EQ(height(plainFrame), height(captionFrame) - bar);
    EXPECT_EQ(okWithout.top, okWith.top - bar);
    EXPECT_EQ(height(sheet->pageFrame().captionRect()), 0);
    // The page starts at the top of the frame's page area.
    RECT pageRect = windowRectIn(pages[0]->hwnd(), sheet->hwnd());
    EXPECT_EQ(pageRect.top, plainFrame.top + sheet->pageFrame().pageArea().top);
    EXPECT_EQ(sheet->pageFrame().pageArea().top, sheet->pageFrame().captionRect().top);
    EXPECT_EQ(sheet->treeImageList(), nullptr);
}

// The frame drawn into a bitmap of its size, read back pixel by pixel.
class FramePicture {
  public:
    explicit FramePicture(HWND frame) {
        GetClientRect(frame, &client);
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, client.right, client.bottom);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageA(frame, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    }
    ~FramePicture() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
    RECT client{};

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

TEST_F(TreeSheet, WithoutVisualStylesTheFrameIsFlat) {
    open({"Download Setting"});
    HWND frame = sheet->pageFrame().hwnd();
    // A system without the visual-styles library.
    static vx::ThemeLibrary missing("vexaro-no-such-uxtheme.dll");
    ASSERT_FALSE(missing.available());
    EXPECT_FALSE(missing.isThemeActive());
    sheet->pageFrame().setThemeLibrary(missing);
    FramePicture picture(frame);
    RECT bar = sheet->pageFrame().captionRect();
    RECT area = sheet->pageFrame().pageArea();
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.right, picture.client.right);
    EXPECT_EQ(area.top, bar.bottom + 1);
    EXPECT_EQ(area.bottom, picture.client.bottom);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(picture.at(picture.client.right / 2, picture.client.bottom - 2), face);
    EXPECT_EQ(picture.at(0, picture.client.bottom - 1), face);
    // The caption bar starts in the inactive caption colour and fades into the background.
    EXPECT_EQ(picture.at(bar.left, bar.top), GetSysColor(COLOR_INACTIVECAPTION));
    EXPECT_EQ(picture.at(bar.right - 1, bar.top), face);
}

TEST_F(TreeSheet, WithVisualStylesTheFrameIsATabPane) {
    if (!vx::ThemeLibrary::instance().isThemeActive())
        GTEST_SKIP() << "no visual style is active";
    open({"Download Setting"});
    HWND frame = sheet->pageFrame().hwnd();
    HTHEME theme = OpenThemeData(frame, L"Tab");
    ASSERT_NE(theme, nullptr);
    RECT client{};
    GetClientRect(frame, &client);
    HDC dc = GetDC(frame);
    RECT content{};
    GetThemeBackgroundContentRect(theme, dc, 9, 0, &client, &content);
    ReleaseDC(frame, dc);
    CloseThemeData(theme);
    RECT bar = sheet->pageFrame().captionRect();
    EXPECT_EQ(bar.left, content.left);
    EXPECT_EQ(bar.top, content.top);
    EXPECT_EQ(bar.right, content.right);
    RECT pageRect = windowRectIn(pages[0]->hwnd(), frame);
    EXPECT_EQ(pageRect.top, bar.bottom + 1);
    EXPECT_EQ(pageRect.left, content.left);
    FramePicture picture(frame);
    EXPECT_EQ(picture.at(bar.left, bar.top), GetSysColor(COLOR_INACTIVECAPTION));
}

TEST(SettingsTreeSheet, ModalSheetEndsWithTheButtonPressed) {
    for (int button : {PSBTN_OK, PSBTN_CANCEL}) {
        TestPage page("Only");
        vx::CTreePropSheet sheet("Modal");
        sheet.AddPage(page);
        // Another thread finds the sheet and presses the button, as a user would.
        std::thread presser([&] {
            HWND window = nullptr;
            wintest::waitFor([&] {
                window = FindWindowA(nullptr, "Modal");
                return window && IsWindowVisible(window);
            });
            if (window)
                SendMessageA(window, PSM_PRESSBUTTON, button, 0);
        });
        INT_PTR result = sheet.DoModal();
        presser.join();
        EXPECT_EQ(result, button == PSBTN_OK ? IDOK : IDCANCEL);
        EXPECT_EQ(page.applies, button == PSBTN_OK ? 1 : 0);
        EXPECT_FALSE(sheet.hasWindow());
        EXPECT_FALSE(page.hasWindow());
    }
}

}  // namespace

namespace {

// Keeps whatever "config.xml" the install folder held and puts it back afterwards; the tests
// start without one.
// Tests start without a config.xml beside the program; the one there before comes back.
class ConfigFileGuard : public wintest::ProgramFolderFile {
  public:
    ConfigFileGuard() : ProgramFolderFile("config.xml") { remove(); }
    std::optional<std::string> bytes() const { return read(); }
};

constexpr int kApplyButton = 0x3021;  // the sheet's "Apply"

vx::DownloadSettings sampleRecord(const std::string& folder) {
    vx::DownloadSettings s;
    s.saveFolder = folder;
    return s;
}

class DownloadPage : public ::testing::Test {
  protected:
    void open() {
        sheet = std::make_unique<vx::SettingsSheet>(record, nullptr);
        ASSERT_TRUE(sheet->Create());
        page = sheet->downloadPage().hwnd();
        ASSERT_NE(page, nullptr);
        pumpSheet(sheet->sheet());
    }
    void TearDown() override { sheet.reset(); }

    HWND control(int id) const { return GetDlgItem(page, id); }
    bool checked(int id) const { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
    bool enabled(int id) const { return IsWindowEnabled(control(id)) != FALSE; }
    std::string text(int id) const { return ui::windowText(control(id)); }
    bool applyEnabled() const {
        return IsWindowEnabled(GetDlgItem(sheet->sheet().hwnd(), kApplyButton)) != FALSE;
    }
    void click(int id) {
        SendMessageA(control(id), BM_CLICK, 0, 0);
        pumpSheet(sheet->sheet());
    }
    // What typing does: the new text, then the edit's change notification to the page.
    void type(int id, const std::string& value) {
        SetWindowTextA(control(id), value.c_str());
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE),
                     reinterpret_cast<LPARAM>(control(id)));
        pumpSheet(sheet->sheet());
    }
    void press(int button) {
        sheet->sheet().pressButton(button);
        pumpSheet(sheet->sheet());
    }

    ConfigFileGuard config;
    wintest::TempFolder temp;
    vx::DownloadSettings record = sampleRecord(temp.path());
    std::unique_ptr<vx::SettingsSheet> sheet;
    HWND page = nullptr;
};

TEST_F(DownloadPage, OpensWithTheRecordsValues) {
    record.limitFileSize = 1;
    record.largerThanOn = 0;
    record.smallerThanOn = 1;
    record.smallerThanKB = 4096;
    record.limitResolution = 1;
    record.resolutions = {{1152, 864}, {800, 600}, {1600, 1200}};
    record.typeImages = 0;
    record.typeMp3 = 0;
    record.typeFlash = 0;
    open();
    EXPECT_EQ(ui::windowText(sheet->sheet().hwnd()), "Configuration...");
    EXPECT_EQ(sheet->sheet().GetActivePage(), &sheet->downloadPage());
    EXPECT_EQ(text(IDC_SAVE_FOLDER), temp.path());
    EXPECT_EQ(SendMessageA(control(IDC_SAVE_FOLDER), EM_GETLIMITTEXT, 0, 0), 255);
    EXPECT_TRUE(checked(IDC_LIMIT_FILE_SIZE));
    EXPECT_FALSE(checked(IDC_LARGER_THAN));
    EXPECT_TRUE(checked(IDC_SMALLER_THAN));
    EXPECT_EQ(text(IDC_LARGER_THAN_KB), "250");
    EXPECT_EQ(text(IDC_SMALLER_THAN_KB), "4096");
    // Size enabling: the boxes and labels with the limit box, each edit with its box as well.
    EXPECT_TRUE(enabled(IDC_LARGER_THAN));
    EXPECT_TRUE(enabled(IDC_SMALLER_THAN));
    EXPECT_TRUE(enabled(IDC_LARGER_KB_LABEL));
    EXPECT_FALSE(enabled(IDC_LARGER_THAN_KB));
    EXPECT_TRUE(enabled(IDC_SMALLER_THAN_KB));
    // Resolution boxes from the list, enabled with their limit box.
    EXPECT_TRUE(checked(IDC_LIMIT_RESOLUTION));
    EXPECT_FALSE(checked(IDC_RES_640X480));
    EXPECT_TRUE(checked(IDC_RES_800X600));
    EXPECT_FALSE(checked(IDC_RES_1024X768));
    EXPECT_TRUE(checked(IDC_RES_1600X1200));
    EXPECT_TRUE(enabled(IDC_RES_640X480));
    EXPECT_TRUE(enabled(IDC_MORE_RESOLUTIONS));
    // No type at all shows "Images".
    EXPECT_TRUE(checked(IDC_TYPE_IMAGES));
    EXPECT_FALSE(checked(IDC_TYPE_MP3));
    // Filling the controls is no change of the user's.
    EXPECT_FALSE(applyEnabled());
    EXPECT_FALSE(sheet->downloadPage().isModified());

    // OK stores Images back into the record and the file.
    press(PSBTN_OK);
    EXPECT_TRUE(sheet->sheet().isEnded());
    EXPECT_EQ(sheet->sheet().result(), IDOK);
    EXPECT_EQ(record.typeImages, 1);
    EXPECT_EQ(config.bytes().value_or(""), vx::settingsText(record));
}

TEST_F(DownloadPage, DefaultsDisableTheFilters) {
    open();
    EXPECT_FALSE(checked(IDC_LIMIT_FILE_SIZE));
    EXPECT_TRUE(checked(IDC_LARGER_THAN));
    EXPECT_FALSE(enabled(IDC_LARGER_THAN));
    EXPECT_FALSE(enabled(IDC_SMALLER_THAN));
    EXPECT_FALSE(enabled(IDC_SMALLER_KB_LABEL));
    EXPECT_FALSE(enabled(IDC_LARGER_THAN_KB));
    EXPECT_FALSE(enabled(IDC_SMALLER_THAN_KB));
    EXPECT_FALSE(checked(IDC_LIMIT_RESOLUTION));
    for (int id : vx::CPropPageDownloadSet::kStandardBoxIds)
        EXPECT_FALSE(enabled(id));
    EXPECT_FALSE(enabled(IDC_MORE_RESOLUTIONS));

    click(IDC_LIMIT_FILE_SIZE);
    EXPECT_TRUE(applyEnabled());
    EXPECT_TRUE(enabled(IDC_LARGER_THAN));
    EXPECT_TRUE(enabled(IDC_LARGER_THAN_KB));
    EXPECT_FALSE(enabled(IDC_SMALLER_THAN_KB));
    click(IDC_LIMIT_RESOLUTION);
    EXPECT_TRUE(enabled(IDC_RES_1280X768));
    EXPECT_TRUE(enabled(IDC_MORE_RESOLUTIONS));
    click(IDC_LIMIT_RESOLUTION);
    EXPECT_FALSE(enabled(IDC_RES_1280X768));
}

TEST_F(DownloadPage, SizeBoxesAndTheLimitBoxGoTogether) {
    record.limitFileSize = 1;
    open();
    ASSERT_TRUE(checked(IDC_LARGER_THAN));
    click(IDC_SMALLER_THAN);
    EXPECT_TRUE(enabled(IDC_SMALLER_THAN_KB));
    EXPECT_TRUE(checked(IDC_LIMIT_FILE_SIZE));
    click(IDC_LARGER_THAN);
    EXPECT_FALSE(enabled(IDC_LARGER_THAN_KB));
    EXPECT_TRUE(checked(IDC_LIMIT_FILE_SIZE));
    // Unchecking both size boxes unchecks the limit box.
    click(IDC_SMALLER_THAN);
    EXPECT_FALSE(enabled(IDC_SMALLER_THAN_KB));
    EXPECT_FALSE(checked(IDC_LIMIT_FILE_SIZE));
    // Checking "Download files >" while the limit box is unchecked checks it again.
    click(IDC_LARGER_THAN);
    EXPECT_TRUE(checked(IDC_LIMIT_FILE_SIZE));
    EXPECT_TRUE(enabled(IDC_LARGER_THAN_KB));
    type(IDC_LARGER_THAN_KB, "300");
    press(PSBTN_APPLYNOW);
    EXPECT_EQ(record.limitFileSize, 1);
    EXPECT_EQ(record.largerThanOn, 1);
    EXPECT_EQ(record.smallerThanOn, 0);
    EXPECT_EQ(record.largerThanKB, 300);
    EXPECT_EQ(config.bytes().value_or(""),
              "<CONFIG>\r\n<SAVEFOLDER>" + temp.path() +
                  "</SAVEFOLDER>\r\n<LIMITFILESIZE>\r\n<BIGTHAN FILESIZE=\"300\">1</BIGTHAN>\r\n"
                  "<SMALLTHAN FILESIZE=\"0\">0</SMALLTHAN>\r\n</LIMITFILESIZE>\r\n"
                  "<LIMITFILETYPE>1</LIMITFILETYPE>\r\n</CONFIG>\r\n");
    EXPECT_FALSE(applyEnabled());
}

TEST_F(DownloadPage, BothSizeEditsMarkThePageModified) {
    record.limitFileSize = 1;
    record.smallerThanOn = 1;
    open();
    ASSERT_FALSE(applyEnabled());
    type(IDC_SMALLER_THAN_KB, "2048");
    EXPECT_TRUE(applyEnabled());
    EXPECT_TRUE(sheet->downloadPage().isModified());
    press(PSBTN_APPLYNOW);
    EXPECT_FALSE(applyEnabled());
    EXPECT_EQ(record.smallerThanKB, 2048);
    type(IDC_LARGER_THAN_KB, "12 KB");
    EXPECT_TRUE(applyEnabled());
    type(IDC_SMALLER_THAN_KB, "none");
    press(PSBTN_OK);
    EXPECT_EQ(record.largerThanKB, 12);
    EXPECT_EQ(record.smallerThanKB, 0);
}

TEST_F(DownloadPage, TheLastTypeStaysChecked) {
    open();
    ASSERT_TRUE(checked(IDC_TYPE_IMAGES));
    click(IDC_TYPE_IMAGES);
    EXPECT_TRUE(checked(IDC_TYPE_IMAGES));
    EXPECT_FALSE(applyEnabled());
    click(IDC_TYPE_FLASH);
    EXPECT_TRUE(applyEnabled());
    click(IDC_TYPE_IMAGES);
    EXPECT_FALSE(checked(IDC_TYPE_IMAGES));
    click(IDC_TYPE_FLASH);
    EXPECT_TRUE(checked(IDC_TYPE_FLASH));
    click(IDC_TYPE_MP3);
    press(PSBTN_OK);
    EXPECT_EQ(record.typeImages, 0);
    EXPECT_EQ(record.typeMp3, 1);
    EXPECT_EQ(record.typeFlash, 1);
    EXPECT_NE(config.bytes().value_or("").find("<LIMITFILETYPE>6</LIMITFILETYPE>"),
              std::string::npos);
}

TEST_F(DownloadPage, ResolutionBoxesChangeTheRecordAtOnce) {
    record.resolutions = {{1152, 864}};
    open();
    click(IDC_LIMIT_RESOLUTION);
    click(IDC_RES_1024X768);
    click(IDC_RES_640X480);
    EXPECT_EQ(record.resolutions,
              (std::vector<vx::ResolutionCap>{{1152, 864}, {1024, 768}, {640, 480}}));
    EXPECT_EQ(record.limitResolution, 0);  // that one waits for Apply
    click(IDC_RES_1024X768);
    EXPECT_EQ(record.resolutions, (std::vector<vx::ResolutionCap>{{1152, 864}, {640, 480}}));
    // Cancel keeps the list as changed, and writes nothing.
    press(PSBTN_CANCEL);
    EXPECT_TRUE(sheet->sheet().isEnded());
    EXPECT_EQ(sheet->sheet().result(), IDCANCEL);
    EXPECT_EQ(record.resolutions, (std::vector<vx::ResolutionCap>{{1152, 864}, {640, 480}}));
    EXPECT_EQ(record.limitResolution, 0);
    EXPECT_FALSE(config.bytes().has_value());
}

TEST_F(DownloadPage, ResolutionFilterNeedsAResolution) {
    open();
    click(IDC_LIMIT_RESOLUTION);
    press(PSBTN_OK);
    EXPECT_EQ(record.limitResolution, 0);
    EXPECT_EQ(config.bytes().value_or("").find("LIMITRESOLVING"), std::string::npos);
}

TEST_F(DownloadPage, AFileInTheFoldersPlaceFailsApply) {
    record.resolutions = {{640, 480}};
    ASSERT_TRUE(temp.write("taken", "x"));
    open();
    click(IDC_TYPE_MP3);
    type(IDC_SAVE_FOLDER, temp.file("taken"));
    wintest::MessageBoxCatcher boxes;
    press(PSBTN_OK);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "Failed to create download folder.\nThere maybe a file has the same name.");
    // The sheet stays open; the folder text is in the record, nothing else changed, nothing
    // was written.
    EXPECT_FALSE(sheet->sheet().isEnded());
    EXPECT_EQ(record.saveFolder, temp.file("taken"));
    EXPECT_EQ(record.typeMp3, 0);
    EXPECT_FALSE(config.bytes().has_value());
}

TEST_F(DownloadPage, AFailedApplyShowsThePage) {
    open();
    type(IDC_SAVE_FOLDER, temp.file("a") + "\\b");
    HWND tree = sheet->sheet().GetPageTreeControl();
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(sheet->sheet().treeItem(1)));
    pumpSheet(sheet->sheet());
    ASSERT_EQ(sheet->sheet().GetActivePage(), &sheet->generalPage());
    wintest::MessageBoxCatcher boxes;
    press(PSBTN_OK);
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_FALSE(sheet->sheet().isEnded());
    EXPECT_EQ(sheet->sheet().GetActivePage(), &sheet->downloadPage());
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_EQ(ui::treeItemText(tree, selectedItem(tree)), "Download Setting");
}

TEST_F(DownloadPage, FoldersAreCreatedOneLevelDeep) {
    open();
    std::string twoLevels = temp.file("new") + "\\deeper";
    type(IDC_SAVE_FOLDER, twoLevels);
    {
        wintest::MessageBoxCatcher boxes;
        press(PSBTN_APPLYNOW);
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_EQ(boxes.boxes()[0].caption, "Error");
        EXPECT_EQ(boxes.boxes()[0].text, ui::systemErrorText(ERROR_PATH_NOT_FOUND).value_or("?"));
    }
    EXPECT_FALSE(config.bytes().has_value());
    EXPECT_EQ(record.saveFolder, twoLevels);

    type(IDC_SAVE_FOLDER, temp.file("new"));
    press(PSBTN_APPLYNOW);
    EXPECT_TRUE(vx::platformFileSystem().isFolder(temp.file("new")));
    EXPECT_EQ(config.bytes().value_or(""), vx::settingsText(record));
    EXPECT_EQ(record.saveFolder, temp.file("new"));
}

TEST_F(DownloadPage, DriveLikeAndExistingFoldersAreAccepted) {
    open();
    // Nothing of these names exists; a drive root and a short text are taken as they are.
    for (std::string folder : {"Q:\\", "Q:", "abcd"}) {
        type(IDC_SAVE_FOLDER, folder);
        wintest::MessageBoxCatcher boxes;
        press(PSBTN_APPLYNOW);
        EXPECT_EQ(boxes.count(), 0u) << folder;
        EXPECT_EQ(record.saveFolder, folder);
        EXPECT_NE(config.bytes().value_or("").find("<SAVEFOLDER>" + folder + "</SAVEFOLDER>"),
                  std::string::npos);
        EXPECT_FALSE(vx::platformFileSystem().exists(folder)) << folder;
    }
    // An existing folder written with a trailing backslash is that folder.
    type(IDC_SAVE_FOLDER, temp.path() + "\\");
    wintest::MessageBoxCatcher boxes;
    press(PSBTN_OK);
    EXPECT_EQ(boxes.count(), 0u);
    EXPECT_TRUE(sheet->sheet().isEnded());
    EXPECT_EQ(record.saveFolder, temp.path() + "\\");
}

TEST_F(DownloadPage, LongFolderTextsAreCutNeverOverflowed) {
    // A folder read from a file may be longer than the edit lets anyone type.
    std::string longFolder = temp.path() + "\\" + std::string(300, 'f');
    record.saveFolder = longFolder;
    open();
    EXPECT_EQ(text(IDC_SAVE_FOLDER), longFolder);
    // Longer than the record holds: cut at 519 bytes.
    std::string tooLong = temp.path() + "\\" + std::string(700, 'g');
    type(IDC_SAVE_FOLDER, tooLong);
    wintest::MessageBoxCatcher boxes;
    press(PSBTN_APPLYNOW);
    EXPECT_EQ(record.saveFolder.size(), 519u);
    EXPECT_EQ(record.saveFolder, tooLong.substr(0, 519));
    // No folder of that length can be made: the system says why, and Apply fails.
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Error");
    EXPECT_FALSE(config.bytes().has_value());
}

// Plays the user of the "Resolution Capacity List" from another thread while the page's
// thread runs the dialog modally.
class ResolutionListUser {
  public:
    HWND find() {
        wintest::waitFor([&] {
            dialog_ = FindWindowA(nullptr, "Resolution Capacity List");
            return dialog_ && IsWindowVisible(dialog_);
        });
        return dialog_;
    }
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    std::vector<std::string> rows() const {
        std::vector<std::string> texts;
        int count =
            static_cast<int>(SendMessageA(item(IDC_RESOLUTION_LIST), LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            texts.push_back(ui::listItemText(item(IDC_RESOLUTION_LIST), i, 0));
        }
        return texts;
    }
    bool okEnabled() const { return IsWindowEnabled(item(IDOK)) != FALSE; }
    void add(const std::string& x, const std::string& y) {
        SetWindowTextA(item(IDC_RESOLUTION_X), x.c_str());
        SetWindowTextA(item(IDC_RESOLUTION_Y), y.c_str());
        SendMessageA(item(IDC_ADD_RESOLUTION), BM_CLICK, 0, 0);
    }
    void select(const std::vector<int>& rows) {
        for (int row : rows) {
            LVITEMA state{};
            state.stateMask = LVIS_SELECTED;
            state.state = LVIS_SELECTED;
            SendMessageA(item(IDC_RESOLUTION_LIST), LVM_SETITEMSTATE, row,
                         reinterpret_cast<LPARAM>(&state));
        }
    }
    void remove() { SendMessageA(item(IDC_REMOVE_RESOLUTION), BM_CLICK, 0, 0); }
    void ok() { SendMessageA(item(IDOK), BM_CLICK, 0, 0); }
    void escape() { PostMessageA(dialog_, WM_COMMAND, IDCANCEL, 0); }
    void closeBox() { PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0); }

  private:
    HWND dialog_ = nullptr;
};

TEST_F(DownloadPage, ResolutionListEditsTheRecordOnOk) {
    record.limitResolution = 1;
    record.resolutions = {{1152, 864}, {1280, 768}, {2000, 1000}};
    open();
    click(IDC_RES_1280X768);  // unchecked: out of the record at once
    click(IDC_RES_1600X1200);
    ASSERT_EQ(record.resolutions,
              (std::vector<vx::ResolutionCap>{{1152, 864}, {2000, 1000}, {1600, 1200}}));

    std::vector<std::string> shown, afterAdds, afterRemove;
    bool okAtStart = false;
    size_t boxesSeen = 0;
    std::vector<std::string> boxTexts;
    wintest::MessageBoxCatcher boxes;
    std::thread user([&] {
        ResolutionListUser list;
        if (!list.find())
            return;
        shown = list.rows();
        okAtStart = list.okEnabled();
        list.add("", "600");       // message: both values are needed
        list.add("0", "600");      // below 1: nothing, silently
        list.add("1152", "864");   // already listed: nothing
        list.add("1600", "1200");  // already in the dialog's list (a standard one, not shown)
        list.add("0800", "600");   // shown as typed
        list.add("1920", "1080");
        list.add("3000", "2000");
        afterAdds = list.rows();
        list.remove();  // nothing selected: message
        boxesSeen = boxes.count();
        list.select({0, 3});
        list.remove();
        afterRemove = list.rows();
        list.ok();
    });
    click(IDC_MORE_RESOLUTIONS);
    user.join();
    for (const auto& box : boxes.boxes())
        boxTexts.push_back(box.text);

    EXPECT_EQ(shown, (std::vector<std::string>{"1152 x 864", "2000 x 1000"}));
    EXPECT_TRUE(okAtStart);
    EXPECT_EQ(afterAdds, (std::vector<std::string>{"1152 x 864", "2000 x 1000", "0800 x 600",
                                                   "1920 x 1080", "3000 x 2000"}));
    EXPECT_EQ(boxesSeen, 2u);
    EXPECT_EQ(boxTexts,
              (std::vector<std::string>{"Please enter an image resolution capacity item.",
                                        "Please select a resolusion capacity item to remove."}));
    EXPECT_EQ(afterRemove, (std::vector<std::string>{"2000 x 1000", "0800 x 600", "3000 x 2000"}));
    // The checked standard boxes first, in their order, then the dialog's entries in its order;
    // the typed "0800 x 600" is stored as 800 x 600.
    EXPECT_EQ(record.resolutions, (std::vector<vx::ResolutionCap>{
                                      {1600, 1200}, {2000, 1000}, {800, 600}, {3000, 2000}}));
    // The box of a standard resolution that came in through the list shows it.
    EXPECT_TRUE(checked(IDC_RES_800X600));
    EXPECT_FALSE(checked(IDC_RES_1280X768));
    EXPECT_TRUE(applyEnabled());
    EXPECT_FALSE(config.bytes().has_value());
    press(PSBTN_OK);
    EXPECT_EQ(config.bytes().value_or(""), vx::settingsText(record));
    EXPECT_NE(config.bytes().value_or("").find("<RESOLVING_CAP RESX=\"800\" RESY=\"600\"/>\r\n"
                                               "<RESOLVING_CAP RESX=\"3000\" RESY=\"2000\"/>"),
              std::string::npos);
}

TEST_F(DownloadPage, ResolutionListStandardOnlyAndCancel) {
    record.limitResolution = 1;
    record.resolutions = {{640, 480}, {1024, 768}};
    open();
    for (int way = 0; way < 2; ++way) {
        std::vector<std::string> shown{"not read"};
        bool okAtStart = true;
        bool okAfterAdd = false;
        std::thread user([&] {
            ResolutionListUser list;
            if (!list.find())
                return;
            shown = list.rows();
            okAtStart = list.okEnabled();
            list.add("1152", "864");
            okAfterAdd = list.okEnabled();
            if (way == 0)
                list.escape();
            else
                list.closeBox();
        });
        click(IDC_MORE_RESOLUTIONS);
        user.join();
        EXPECT_TRUE(shown.empty());
        EXPECT_FALSE(okAtStart);
        EXPECT_TRUE(okAfterAdd);
        EXPECT_EQ(record.resolutions, (std::vector<vx::ResolutionCap>{{640, 480}, {1024, 768}}));
        EXPECT_FALSE(applyEnabled());
    }
}

// Gives a folder the stamps of one changed since anybody last looked into it, long ago: the
// first look into it then moves its last-access stamp.
bool markLastLookedIntoLongAgo(const std::string& folder) {
    HANDLE h = CreateFileA(folder.c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    SYSTEMTIME longAgo{2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME accessed{};
    const bool ok =
        SystemTimeToFileTime(&longAgo, &accessed) && SetFileTime(h, nullptr, &accessed, nullptr);
    CloseHandle(h);
    return ok;
}

TEST_F(DownloadPage, BrowsePreselectsTheFolder) {
    ASSERT_TRUE(CreateDirectoryA(temp.file("picked").c_str(), nullptr));
    // Wine's dialog matches each folder of the path by its stamps too; the look-up moving one
    // must not cost the preselection.
    ASSERT_TRUE(markLastLookedIntoLongAgo(temp.path()));
    open();
    type(IDC_SAVE_FOLDER, temp.file("picked"));
    press(PSBTN_APPLYNOW);
    ASSERT_FALSE(applyEnabled());
    std::string shownSelected;
    std::thread user([&] {
        HWND browser = nullptr;
        wintest::waitFor([&] {
            browser = FindWindowA("#32770", nullptr);
            while (browser && (browser == sheet->sheet().hwnd() ||
                               GetWindow(browser, GW_OWNER) != sheet->sheet().hwnd()))
                browser = FindWindowExA(nullptr, browser, "#32770", nullptr);
            return browser && IsWindowVisible(browser);
        });
        if (!browser)
            return;
        // The browser's folder tree shows the folder the page opened it with, once initialised.
        HWND folders = nullptr;
        wintest::waitFor([&] {
            folders = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
            if (!folders)
                folders = FindWindowExA(FindWindowExA(browser, nullptr, nullptr, nullptr), nullptr,
                                        WC_TREEVIEWA, nullptr);
            shownSelected = folders ? ui::treeItemText(folders, selectedItem(folders)) : "";
            return shownSelected == "picked";
        });
        PostMessageA(browser, WM_COMMAND, IDOK, 0);
    });
    click(IDC_BROWSE_FOLDER);
    user.join();
    EXPECT_EQ(shownSelected, "picked");
    // A path came back (the page is changed) and it is the preselected folder.
    EXPECT_TRUE(applyEnabled());
    EXPECT_EQ(text(IDC_SAVE_FOLDER), temp.file("picked"));
}

}  // namespace

namespace {

// The browser button's key under HKEY_LOCAL_MACHINE, removed before and after each test.
class ToolbarKeyGuard {
  public:
    ToolbarKeyGuard() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, vx::kToolbarButtonKey); }
    ~ToolbarKeyGuard() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, vx::kToolbarButtonKey); }
};

bool keyExists(const std::string& path) {
    return wintest::keyExists(HKEY_LOCAL_MACHINE, path);
}

std::optional<wintest::StoredValue> readValue(const char* name) {
    return wintest::readStoredValue(HKEY_LOCAL_MACHINE, vx::kToolbarButtonKey, name);
}

std::vector<std::string> valueNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, vx::kToolbarButtonKey, 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        char name[256] = {};
        DWORD length = sizeof name;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name);
    }
    RegCloseKey(key);
    return names;
}

class GeneralPage : public ::testing::Test {
  protected:
    void SetUp() override {
        sheet = std::make_unique<vx::SettingsSheet>(record, nullptr);
        ASSERT_TRUE(sheet->Create());
        ASSERT_TRUE(sheet->sheet().SetActivePage(sheet->generalPage()));
        page = sheet->generalPage().hwnd();
        ASSERT_NE(page, nullptr);
    }
    void click(int id) {
        SendMessageA(GetDlgItem(page, id), BM_CLICK, 0, 0);
        pumpSheet(sheet->sheet());
    }

    ToolbarKeyGuard key;
    ConfigFileGuard config;
    vx::DownloadSettings record = sampleRecord("C:\\Vexaro\\Download");
    std::unique_ptr<vx::SettingsSheet> sheet;
    HWND page = nullptr;
};

TEST_F(GeneralPage, AddWritesTheSixValues) {
    EXPECT_EQ(ui::windowText(GetDlgItem(page, IDC_ADD_TOOLBAR_BUTTON)), "&Add Shortcut to Toolbar");
    EXPECT_EQ(ui::windowText(GetDlgItem(page, IDC_REMOVE_TOOLBAR_BUTTON)),
              "&Remove Shortcut from Toolbar");
    const std::string program = vx::moduleFileName();
    for (int round = 0; round < 2; ++round) {
        wintest::MessageBoxCatcher boxes;
        click(IDC_ADD_TOOLBAR_BUTTON);
        ASSERT_EQ(boxes.count(), 1u) << round;
        EXPECT_EQ(boxes.boxes()[0].text,
                  "Program shortcut icon has been added to browser's toolbar.\nYou need to restart "
                  "browser to make it work.");
        // Nothing but the six (their order is the registry's to keep).
        std::vector<std::string> names = valueNames();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"ButtonText", "CLSID", "Default Visible", "Exec",
                                                   "HotIcon", "Icon"}));
        const std::pair<const char*, std::string> expected[] = {
            {"CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"},
            {"Default Visible", "Yes"},
            {"ButtonText", "Vexaro"},
            {"Icon", program + ",128"},
            {"HotIcon", program + ",128"},
            {"Exec", program},
        };
        for (const auto& [name, data] : expected) {
            auto value = readValue(name);
            ASSERT_TRUE(value.has_value()) << name;
            EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ)) << name;
            EXPECT_EQ(value->bytes, data + std::string(1, '\0')) << name;
        }
        // Spoil one value: the second add writes it again.
        HKEY handle = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, vx::kToolbarButtonKey, 0, KEY_WRITE, &handle),
                  ERROR_SUCCESS);
        RegSetValueExA(handle, "ButtonText", 0, REG_SZ, reinterpret_cast<const BYTE*>("Old"), 4);
        RegCloseKey(handle);
    }
    // The page has nothing to apply.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet->sheet().hwnd(), kApplyButton)));
}

TEST_F(GeneralPage, RemoveTakesSubkeysFirst) {
    {
        // Never added: nothing happens, silently.
        wintest::MessageBoxCatcher boxes;
        click(IDC_REMOVE_TOOLBAR_BUTTON);
        EXPECT_EQ(boxes.count(), 0u);
    }
    std::string base = vx::kToolbarButtonKey;
    for (const char* sub : {"\\One", "\\One\\Two", "\\One\\Two\\Three", "\\Other"}) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (base + sub).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(created, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(created);
    }
    wintest::MessageBoxCatcher boxes;
    click(IDC_REMOVE_TOOLBAR_BUTTON);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "Program shortcut icon has been removed.\nYou need to restart browser to make it "
              "work.");
    EXPECT_FALSE(keyExists(base));
    EXPECT_TRUE(keyExists("Software\\Microsoft\\Internet Explorer\\Extensions"));

    click(IDC_REMOVE_TOOLBAR_BUTTON);
    EXPECT_EQ(boxes.count(), 1u);
}

TEST(SettingsSheetOwner, RunsModallyOnAWorkerThreadOverAWindowOfAnotherThread) {
    ConfigFileGuard config;
    wintest::TempFolder temp;
    // The owner stands for the progress window, on this (the user-interface) thread.
    HWND owner = CreateWindowExA(0, "STATIC", "Progress stand-in", WS_POPUP | WS_VISIBLE, 10, 10,
                                 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    vx::DownloadSettings record = sampleRecord(temp.path());
    std::atomic<INT_PTR> result{-2};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        ui::ComInit com;
        result = vx::openSettingsSheet(owner, record);
        done = true;
    });
    // This thread keeps serving its messages, as the progress window's thread does.
    HWND found = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] {
        found = FindWindowA(nullptr, "Configuration...");
        return found && IsWindowVisible(found);
    }));
    EXPECT_EQ(GetWindow(found, GW_OWNER), owner);
    EXPECT_NE(GetWindowThreadProcessId(found, nullptr), GetCurrentThreadId());
    EXPECT_TRUE(wintest::waitFor([&] { return !IsWindowEnabled(owner); }));

    // The user clicks MP3 on the page and OK.
    HWND page = reinterpret_cast<HWND>(SendMessageA(found, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(page, nullptr);
    SendMessageA(GetDlgItem(page, IDC_TYPE_MP3), BM_CLICK, 0, 0);
    SendMessageA(found, PSM_PRESSBUTTON, PSBTN_OK, 0);
    EXPECT_TRUE(wintest::waitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result.load(), IDOK);
    EXPECT_EQ(record.typeMp3, 1);
    EXPECT_EQ(config.bytes().value_or(""), vx::settingsText(record));
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_FALSE(IsWindow(found));
    DestroyWindow(owner);
}

// The "Configuration..." sheet that `owner` owns.
HWND sheetOwnedBy(HWND owner) {
    struct Search {
        HWND owner;
        HWND found = nullptr;
    } search{owner};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window) &&
                ui::windowText(window) == "Configuration...") {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(SettingsSheetOwner, TwoSheetsOverTheSharedRecordLeaveTheFileAsTheProcessUsesIt) {
    ConfigFileGuard config;
    wintest::TempFolder temp;
    std::string before = temp.path() + "\\old";
    std::string chosen = temp.path() + "\\chosen";
    ASSERT_TRUE(CreateDirectoryA(before.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(chosen.c_str(), nullptr));
    vx::SharedDownloadSettings shared;
    shared.set(sampleRecord(before));
    auto makeOwner = [](const char* title) {
        return CreateWindowExA(0, "STATIC", title, WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    };
    HWND ownerA = makeOwner("Main stand-in");
    HWND ownerB = makeOwner("Progress stand-in");
    std::atomic<bool> doneA{false}, doneB{false};
    auto edit = [&](HWND owner, std::atomic<bool>& done) {
        return std::thread([&shared, owner, &done] {
            ui::ComInit com;
            vx::editSharedSettings(owner, shared);
            done = true;
        });
    };
    // "&Setup..." opens sheet A; then the worker opens sheet B for a missing folder.
    std::thread a = edit(ownerA, doneA);
    HWND sheetA = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] { return (sheetA = sheetOwnedBy(ownerA)) != nullptr; }));
    std::thread b = edit(ownerB, doneB);
    HWND sheetB = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] { return (sheetB = sheetOwnedBy(ownerB)) != nullptr; }));

    HWND pageB = reinterpret_cast<HWND>(SendMessageA(sheetB, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(pageB, nullptr);
    HWND folderB = GetDlgItem(pageB, IDC_SAVE_FOLDER);
    SetWindowTextA(folderB, chosen.c_str());
    SendMessageA(pageB, WM_COMMAND, MAKEWPARAM(IDC_SAVE_FOLDER, EN_CHANGE),
                 reinterpret_cast<LPARAM>(folderB));
    // Apply reaches the running session at once, before the sheet closes.
    SendMessageA(sheetB, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
    EXPECT_TRUE(wintest::waitFor([&] { return shared.get().saveFolder == chosen; }));
    SendMessageA(sheetB, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(wintest::waitFor([&] { return doneB.load(); }));
    // Sheet A, changed nothing, closes with OK.
    SendMessageA(sheetA, PSM_PRESSBUTTON, PSBTN_OK, 0);
    ASSERT_TRUE(wintest::waitFor([&] { return doneA.load(); }));
    a.join();
    b.join();

    EXPECT_EQ(shared.get().saveFolder, chosen);
    EXPECT_EQ(config.bytes().value_or(""), vx::settingsText(shared.get()));
    DestroyWindow(ownerA);
    DestroyWindow(ownerB);
}

TEST(SettingsSheetOwner, CancelledFromTheOwnersThreadWhileTheWorkerWaits) {
    HWND owner = CreateWindowExA(0, "STATIC", "Owner", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    vx::DownloadSettings record = sampleRecord("C:\\Vexaro\\Download");
    const vx::DownloadSettings before = record;
    std::atomic<INT_PTR> result{-2};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = vx::openSettingsSheet(owner, record);
        done = true;
    });
    HWND found = nullptr;
    ASSERT_TRUE(wintest::waitFor([&] {
        found = FindWindowA(nullptr, "Configuration...");
        return found && IsWindowVisible(found);
    }));
    // Escape on the sheet, as a key would come in.
    PostMessageA(found, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(wintest::waitFor([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(result.load(), IDCANCEL);
    EXPECT_EQ(record, before);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
}

}  // namespace

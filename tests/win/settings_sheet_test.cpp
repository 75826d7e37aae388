#include "settings/win/tree_prop_sheet.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "settings/win/theme_library.h"
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

bool waitSheet(ui::PropSheet& sheet, const std::function<bool()>& done) {
    return wintest::waitFor([&] {
        pumpSheet(sheet);
        return done();
    });
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

std::string treeItemText(HWND tree, HTREEITEM item) {
    char buffer[256] = {};
    TVITEMA data{};
    data.mask = TVIF_TEXT | TVIF_HANDLE;
    data.hItem = item;
    data.pszText = buffer;
    data.cchTextMax = sizeof buffer;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return buffer;
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

class TreeSheetFixture : public ::testing::Test {
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
    std::string selectedText() const { return treeItemText(tree, selectedItem(tree)); }
    bool pageShown(int index) const {
        HWND window = pages[index]->hwnd();
        return window && IsWindowVisible(window);
    }

    std::vector<std::unique_ptr<TestPage>> pages;
    std::unique_ptr<vx::CTreePropSheet> sheet;
    HWND tree = nullptr;
    HIMAGELIST defaultImages = nullptr;
};

TEST_F(TreeSheetFixture, SettingsTreeSheetReplacesTheTabsByATreeAndAFrame) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetSelectingAnItemShowsItsPage) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetAPageThatRefusesToBeLeftKeepsTheSelection) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetCtrlTabWrapsAroundBothWays) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetTitlesWithLevelsMakeANestedTree) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetAnItemWithoutAPageHidesThePage) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetImagesComeFromPageIconsThenTheDefaults) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetPagesAddedAndRemovedWhileOpen) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetWithoutCaptionTheFrameAndSheetShrink) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetWithoutVisualStylesTheFrameIsFlat) {
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

TEST_F(TreeSheetFixture, SettingsTreeSheetWithVisualStylesTheFrameIsATabPane) {
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

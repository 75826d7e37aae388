// The history window for real under Wine over day files on disk: the tree's items and the list's
// rows read back from the controls at each level, the clear command, closing, and "View
// &History" of the main window.
#include "history/win/history_frame.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/win/browser_list_dlg.h"
#include "app/win/vexaro_app.h"
#include "base/file_system.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "support/memory_file_system.h"
#include "ui/controls.h"
#include "ui/window.h"
#include "win_test_util.h"

namespace {

using vx::CHistoryFrame;
using vx::HistoryItem;
using vx::HistoryRecord;

// Noon UTC, so the local date is the same in every time zone the tests run in.
constexpr vx::HistoryTime kMarch25 = 1080216000;  // 2004-03-25
constexpr vx::HistoryTime kDay = 86400;

struct TreeItem {
    std::string text;
    LPARAM level = 0;
    int image = -1;
    std::vector<TreeItem> children;
    bool expanded = false;
};

TreeItem readItem(HWND tree, HTREEITEM handle) {
    char text[1024] = {};
    TVITEMA item{};
    item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_STATE | TVIF_HANDLE;
    item.hItem = handle;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    item.stateMask = TVIS_EXPANDED;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    TreeItem out{text, item.lParam, item.iImage, {}, (item.state & TVIS_EXPANDED) != 0};
    for (auto child = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(handle)));
         child; child = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                 reinterpret_cast<LPARAM>(child))))
        out.children.push_back(readItem(tree, child));
    return out;
}

std::vector<TreeItem> readTree(HWND tree) {
    std::vector<TreeItem> roots;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
         item; item = reinterpret_cast<HTREEITEM>(
                   SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item))))
        roots.push_back(readItem(tree, item));
    return roots;
}

std::vector<std::string> texts(const std::vector<TreeItem>& items) {
    std::vector<std::string> out;
    for (const TreeItem& i : items)
        out.push_back(i.text);
    return out;
}

// The tree item whose text path from the root is `path`, or null.
HTREEITEM findItem(HWND tree, const std::vector<std::string>& path) {
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (std::size_t depth = 0; item;) {
        if (path[depth] == ui::treeItemText(tree, item)) {
            if (++depth == path.size())
                return item;
            item = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        } else {
            item = reinterpret_cast<HTREEITEM>(
                SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
        }
    }
    return nullptr;
}

std::vector<std::vector<std::string>> readRows(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < count; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c)
            row.push_back(ui::listItemText(list, r, c));
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> firstColumn(HWND list) {
    std::vector<std::string> out;
    for (const auto& row : readRows(list))
        out.push_back(row.empty() ? std::string() : row[0]);
    return out;
}

std::vector<std::string> columnTitles(HWND list) {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    std::vector<std::string> titles;
    const int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char buffer[256] = {};
        HDITEMA item{};
        item.mask = HDI_TEXT;
        item.pszText = buffer;
        item.cchTextMax = sizeof buffer;
        SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        titles.push_back(buffer);
    }
    return titles;
}

// A double-click on row `row` as the mouse gives it: the row selected, then the double click
// at its place.
void doubleClickRow(HWND list, int row) {
    LVITEMA state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON,
                 MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2));
}

class HistoryWindow : public ::testing::Test {
  protected:
    HistoryWindow() : install_(folder_.path()) {
        vx::platformFileSystem().createFolder(historyFolder());
    }
    ~HistoryWindow() override {
        frameSlot_.reset();
        wintest::pumpMessages();
    }

    std::string historyFolder() const { return folder_.file("History"); }
    std::string saved(const std::string& name) const { return folder_.file("saved\\" + name); }

    static HistoryRecord record(const std::string& page, vx::HistoryTime time,
                                const std::vector<std::string>& localPaths) {
        HistoryRecord r;
        r.pageAddress = page;
        r.time = time;
        for (const std::string& path : localPaths) {
            HistoryItem item;
            item.address = "http://media.example/" + std::to_string(r.items.size()) + ".jpg";
            item.localPath = path;
            item.downloaded = 1;
            r.items.push_back(item);
        }
        return r;
    }

    void writeDay(const std::string& name, const std::vector<HistoryRecord>& records) const {
        std::string text;
        for (const HistoryRecord& r : records)
            text += vx::CHistoryStore::recordText(r);
        ASSERT_TRUE(vx::platformFileSystem().writeFile(historyFolder() + "\\" + name, text));
    }

    void writeSaved(const std::string& name, std::size_t bytes) const {
        vx::platformFileSystem().createFolder(folder_.file("saved"));
        ASSERT_TRUE(vx::platformFileSystem().writeFile(saved(name), std::string(bytes, 'x')));
    }

    CHistoryFrame& open() {
        CHistoryFrame* frame = vx::showHistoryFrame(frameSlot_, install_, vx::platformFileSystem());
        if (!frame)
            throw std::runtime_error("the history window could not be created");
        return *frame;
    }

    HWND tree(CHistoryFrame& f) { return f.treeView().tree(); }
    HWND list(CHistoryFrame& f) { return f.detailView().list(); }

    void select(CHistoryFrame& f, const std::vector<std::string>& path) {
        HTREEITEM item = findItem(tree(f), path);
        ASSERT_NE(item, nullptr) << path.back();
        SendMessageA(tree(f), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }

    wintest::TempFolder folder_;
    vx::test::FakeInstall install_;
    std::unique_ptr<ui::WindowObject> frameSlot_;
};

TEST_F(HistoryWindow, TreeShowsDaysWithTheirPagesAndTheListTheDays) {
    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("1.jpg")}),
                            record("http://b.example/", kMarch25 + 5, {saved("2.jpg")})});
    writeDay("2004-03-26", {record("http://c.example/", kMarch25 + kDay, {saved("3.jpg")})});
    CHistoryFrame& f = open();

    EXPECT_EQ(ui::Window::fromWindow(f.hwnd()), &f);
    EXPECT_TRUE(IsWindowVisible(f.hwnd()));
    std::vector<TreeItem> roots = readTree(tree(f));
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].text, "Download History");
    EXPECT_EQ(roots[0].level, 0);
    EXPECT_EQ(roots[0].image, 0);
    EXPECT_TRUE(roots[0].expanded);
    ASSERT_EQ(texts(roots[0].children), (std::vector<std::string>{"2004-03-25", "2004-03-26"}));
    const TreeItem& day = roots[0].children[0];
    EXPECT_EQ(day.level, 1);
    EXPECT_EQ(day.image, 1);
    EXPECT_TRUE(day.expanded);
    EXPECT_EQ(texts(day.children),
              (std::vector<std::string>{"http://a.example/", "http://b.example/"}));
    EXPECT_EQ(day.children[0].level, 2);
    EXPECT_EQ(day.children[0].image, 2);
    EXPECT_EQ(texts(roots[0].children[1].children),
              (std::vector<std::string>{"http://c.example/"}));

    EXPECT_EQ(f.detailView().level(), 0);
    EXPECT_EQ(columnTitles(list(f)), (std::vector<std::string>{"Download History"}));
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"2004-03-25", "2004-03-26"}));
}

TEST_F(HistoryWindow, SelectingRootDayAndPageShowsEachLevel) {
    writeSaved("a.jpg", 5000);
    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("a.jpg")}),
                            record("http://b.example/", kMarch25 + 5, {saved("b.jpg")})});
    writeDay("2004-03-26", {record("http://c.example/", kMarch25 + kDay, {saved("c.jpg")})});
    CHistoryFrame& f = open();

    select(f, {"Download History", "2004-03-25"});
    EXPECT_EQ(f.detailView().level(), 1);
    EXPECT_EQ(f.treeView().selectedText, "2004-03-25");
    EXPECT_EQ(columnTitles(list(f)), (std::vector<std::string>{"Download History"}));
    EXPECT_EQ(firstColumn(list(f)),
              (std::vector<std::string>{"http://a.example/", "http://b.example/"}));

    select(f, {"Download History", "2004-03-25", "http://a.example/"});
    EXPECT_EQ(f.detailView().level(), 2);
    EXPECT_EQ(columnTitles(list(f)),
              (std::vector<std::string>{"Filename", "Size", "Path", "Download URl"}));
    EXPECT_EQ(readRows(list(f)),
              (std::vector<std::vector<std::string>>{
                  {"a.jpg", "4 KB", saved("a.jpg"), "http://media.example/0.jpg"}}));

    select(f, {"Download History"});
    EXPECT_EQ(f.detailView().level(), 0);
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"2004-03-25", "2004-03-26"}));
}

TEST_F(HistoryWindow, DoubleClickDescendsAndAFileRowOpensNothing) {
    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("a.jpg")})});
    CHistoryFrame& f = open();
    ASSERT_EQ(firstColumn(list(f)), (std::vector<std::string>{"2004-03-25"}));

    doubleClickRow(list(f), 0);
    EXPECT_EQ(f.detailView().level(), 1);
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"http://a.example/"}));
    doubleClickRow(list(f), 0);
    EXPECT_EQ(f.detailView().level(), 2);
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"a.jpg"}));
    doubleClickRow(list(f), 0);
    EXPECT_EQ(f.detailView().level(), 2);
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"a.jpg"}));
    // The tree keeps its own selection: nothing was chosen there.
    EXPECT_EQ(SendMessageA(tree(f), TVM_GETNEXTITEM, TVGN_CARET, 0), 0);
}

TEST_F(HistoryWindow, PageOfTwoDaysIsListedOnceUnderTheDayLoadedFirst) {
    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("1.jpg")})});
    writeDay("2004-03-26", {record("http://a.example/", kMarch25 + kDay, {saved("2.jpg")}),
                            record("http://b.example/", kMarch25 + kDay, {saved("3.jpg")})});
    CHistoryFrame& f = open();

    std::vector<TreeItem> roots = readTree(tree(f));
    ASSERT_EQ(roots[0].children.size(), 2u);
    EXPECT_EQ(texts(roots[0].children[0].children),
              (std::vector<std::string>{"http://a.example/"}));
    EXPECT_EQ(texts(roots[0].children[1].children),
              (std::vector<std::string>{"http://b.example/"}));
    select(f, {"Download History", "2004-03-25", "http://a.example/"});
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"1.jpg", "2.jpg"}));
}

TEST_F(HistoryWindow, EmptyHistoryShowsOnlyTheRoot) {
    CHistoryFrame& f = open();
    std::vector<TreeItem> roots = readTree(tree(f));
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].text, "Download History");
    EXPECT_TRUE(roots[0].children.empty());
    EXPECT_TRUE(readRows(list(f)).empty());
}

TEST_F(HistoryWindow, SizesInKilobytesAndEmptyForAMissingFile) {
    writeSaved("small.jpg", 1023);
    writeSaved("almost.jpg", 2047);
    writeSaved("two.jpg", 2048);
    writeDay(
        "2004-03-25",
        {record("http://a.example/", kMarch25,
                {saved("small.jpg"), saved("almost.jpg"), saved("two.jpg"), saved("gone.jpg")})});
    CHistoryFrame& f = open();
    select(f, {"Download History", "2004-03-25", "http://a.example/"});

    std::vector<std::vector<std::string>> rows = readRows(list(f));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][1], "1 KB");
    EXPECT_EQ(rows[1][1], "1 KB");
    EXPECT_EQ(rows[2][1], "2 KB");
    EXPECT_EQ(rows[3][0], "gone.jpg");
    EXPECT_EQ(rows[3][1], "");
    EXPECT_EQ(rows[3][2], saved("gone.jpg"));
}

TEST_F(HistoryWindow, NamesDifferingOnlyInCaseShowOnce) {
    writeDay("2004-03-25", {record("http://a.example/", kMarch25,
                                   {folder_.file("one\\Photo.JPG"), folder_.file("two\\photo.jpg"),
                                    "no-folder.jpg", folder_.file("two\\other.jpg")})});
    CHistoryFrame& f = open();
    select(f, {"Download History", "2004-03-25", "http://a.example/"});
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"Photo.JPG", "other.jpg"}));
    EXPECT_EQ(readRows(list(f))[0][2], folder_.file("one\\Photo.JPG"));
}

TEST_F(HistoryWindow, ClearDeletesTheDayFilesKeepsSubfoldersAndShowsTheEmptyHistory) {
    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("1.jpg")})});
    writeDay("desktop.ini", {});
    ASSERT_TRUE(vx::platformFileSystem().createFolder(historyFolder() + "\\kept"));
    ASSERT_TRUE(vx::platformFileSystem().writeFile(historyFolder() + "\\kept\\inner", "x"));
    CHistoryFrame& f = open();
    select(f, {"Download History", "2004-03-25", "http://a.example/"});

    wintest::MessageBoxCatcher boxes({IDOK});
    PostMessageA(f.hwnd(), WM_COMMAND, MAKEWPARAM(ID_CLEAR_HISTORY, 0), 0);
    ASSERT_TRUE(boxes.waitForCount(1));
    ASSERT_TRUE(wintest::waitFor([&] { return readTree(tree(f))[0].children.empty(); }));

    EXPECT_EQ(boxes.boxes()[0].text, "Download history has been removed.");
    EXPECT_FALSE(vx::platformFileSystem().exists(historyFolder() + "\\2004-03-25"));
    EXPECT_FALSE(vx::platformFileSystem().exists(historyFolder() + "\\desktop.ini"));
    EXPECT_TRUE(vx::platformFileSystem().exists(historyFolder() + "\\kept\\inner"));
    EXPECT_TRUE(vx::platformFileSystem().isFolder(historyFolder()));
    std::vector<TreeItem> roots = readTree(tree(f));
    ASSERT_EQ(roots.size(), 1u);
    EXPECT_EQ(roots[0].text, "Download History");
    EXPECT_EQ(f.detailView().level(), 0);
    EXPECT_EQ(columnTitles(list(f)), (std::vector<std::string>{"Download History"}));
    EXPECT_TRUE(readRows(list(f)).empty());
}

// What a session appends or clears after the window opened does not show and breaks nothing:
// the window keeps what it loaded.
TEST_F(HistoryWindow, DayFilesChangingUnderTheWindowLeaveWhatItLoaded) {
    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("1.jpg")})});
    writeDay("2004-03-26", {record("http://b.example/", kMarch25 + kDay, {saved("2.jpg")})});
    CHistoryFrame& f = open();

    writeDay("2004-03-25", {record("http://a.example/", kMarch25, {saved("1.jpg")}),
                            record("http://new.example/", kMarch25 + 9, {saved("9.jpg")})});
    ASSERT_TRUE(DeleteFileA((historyFolder() + "\\2004-03-26").c_str()));

    select(f, {"Download History", "2004-03-25"});
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"http://a.example/"}));
    select(f, {"Download History", "2004-03-26", "http://b.example/"});
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"2.jpg"}));
    select(f, {"Download History"});
    EXPECT_EQ(firstColumn(list(f)), (std::vector<std::string>{"2004-03-25", "2004-03-26"}));

    // A rebuild reads the files as they are now.
    f.treeView().Rebuild();
    EXPECT_EQ(texts(readTree(tree(f))[0].children), (std::vector<std::string>{"2004-03-25"}));
    EXPECT_EQ(texts(readTree(tree(f))[0].children[0].children),
              (std::vector<std::string>{"http://a.example/", "http://new.example/"}));
}

TEST_F(HistoryWindow, FrameHasItsTitleMenuToolbarStatusBarAndSplitter) {
    CHistoryFrame& f = open();
    char title[256] = {};
    GetWindowTextA(f.hwnd(), title, sizeof title);
    EXPECT_STREQ(title, "Download History");
    EXPECT_NE(SendMessageA(f.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageA(f.hwnd(), WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(f.hwnd(), GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
              static_cast<DWORD>(WS_OVERLAPPEDWINDOW));

    HMENU file = GetSubMenu(GetMenu(f.hwnd()), 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuItemID(file, 0), static_cast<UINT>(ID_CLEAR_HISTORY));
    EXPECT_EQ(GetMenuItemID(file, 2), static_cast<UINT>(ID_APP_EXIT));

    HWND bar = f.bar().hwnd();
    EXPECT_EQ(GetDlgCtrlID(bar), IDC_HISTORY_TOOLBAR);
    ASSERT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), 1);
    TBBUTTON button{};
    SendMessageA(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&button));
    EXPECT_EQ(button.idCommand, ID_CLEAR_HISTORY);

    // The tool tip and the prompt come from the command's "prompt\ntip" text.
    NMTTDISPINFOA tip{};
    tip.hdr.hwndFrom = bar;
    tip.hdr.idFrom = ID_CLEAR_HISTORY;
    tip.hdr.code = TTN_GETDISPINFOA;
    SendMessageA(f.hwnd(), WM_NOTIFY, ID_CLEAR_HISTORY, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip.lpszText, nullptr);
    EXPECT_STREQ(tip.lpszText, "Clear all download history");

    HWND status = f.status().hwnd();
    EXPECT_EQ(GetDlgCtrlID(status), static_cast<int>(ui::FrameWindow::kStatusBarId));
    EXPECT_EQ(SendMessageA(status, SB_GETPARTS, 0, 0), 4);
    EXPECT_EQ(f.status().message(), "Ready");
    SendMessageA(f.hwnd(), WM_MENUSELECT, MAKEWPARAM(ID_APP_EXIT, MF_STRING),
                 reinterpret_cast<LPARAM>(file));
    EXPECT_EQ(f.status().message(), "Exit");
    SendMessageA(f.hwnd(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(f.status().message(), "Ready");

    // The splitter fills the space between the bars; the tree pane is 200 wide, the bar 5.
    HWND splitter = f.splitter().hwnd();
    EXPECT_EQ(GetDlgCtrlID(splitter), static_cast<int>(ui::SplitterWindow::kFirstPaneId));
    HWND left = f.splitter().GetPane(0, 0);
    HWND right = f.splitter().GetPane(0, 1);
    EXPECT_EQ(left, f.treeView().hwnd());
    EXPECT_EQ(right, f.detailView().hwnd());
    EXPECT_EQ(GetDlgCtrlID(right), 59649);
    RECT l{}, r{};
    GetWindowRect(left, &l);
    GetWindowRect(right, &r);
    MapWindowPoints(nullptr, splitter, reinterpret_cast<POINT*>(&l), 2);
    MapWindowPoints(nullptr, splitter, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(l.left, 1);
    EXPECT_EQ(l.top, 1);
    EXPECT_EQ(l.right - l.left, 200);
    EXPECT_EQ(r.left, l.right + 5);
    RECT client{};
    GetClientRect(splitter, &client);
    EXPECT_EQ(r.right, client.right - 1);

    // The tree sits below the 22-pixel caption band.
    RECT t{};
    GetWindowRect(tree(f), &t);
    MapWindowPoints(nullptr, left, reinterpret_cast<POINT*>(&t), 2);
    EXPECT_EQ(t.top, 22);
}

TEST_F(HistoryWindow, DraggingTheBarResizesThePanes) {
    CHistoryFrame& f = open();
    HWND splitter = f.splitter().hwnd();
    const int barX = 1 + 200 + 2;
    SendMessageA(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(barX, 50));
    SendMessageA(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(barX + 60, 50));
    SendMessageA(splitter, WM_LBUTTONUP, 0, MAKELPARAM(barX + 60, 50));
    RECT l{};
    GetWindowRect(f.splitter().GetPane(0, 0), &l);
    EXPECT_EQ(l.right - l.left, 260);
}

TEST_F(HistoryWindow, CloseAndExitClearTheFramePointerAndEndTheWindow) {
    for (UINT how : {0u, 1u}) {
        CHistoryFrame& f = open();
        HWND window = f.hwnd();
        ASSERT_EQ(frameSlot_.get(), &f);
        if (how == 0)
            SendMessageA(window, WM_CLOSE, 0, 0);
        else
            SendMessageA(window, WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 0), 0);
        EXPECT_EQ(frameSlot_, nullptr);
        EXPECT_FALSE(IsWindow(window));
    }
}

// The application object's pointer makes "View &History" open one window at most.
TEST(ViewHistory, OneWindowRestoredWhenMinimisedAndDestroyedAtExit) {
    vx::CVexaroApp app;
    vx::CBrowserListDlg main;
    main.setBrowserWindowsOpener([] { return nullptr; });
    wintest::MessageBoxCatcher boxes({IDOK});
    ASSERT_TRUE(main.Create());

    SendMessageA(main.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_VIEW_HISTORY, BN_CLICKED), 0);
    ASSERT_NE(app.historyFrame, nullptr);
    HWND first = app.historyFrame->hwnd();
    ASSERT_TRUE(IsWindow(first));
    EXPECT_TRUE(IsWindowVisible(first));

    SendMessageA(main.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_VIEW_HISTORY, BN_CLICKED), 0);
    EXPECT_EQ(app.historyFrame->hwnd(), first);

    ShowWindow(first, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(first));
    SendMessageA(main.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_VIEW_HISTORY, BN_CLICKED), 0);
    EXPECT_EQ(app.historyFrame->hwnd(), first);
    EXPECT_FALSE(IsIconic(first));

    // Closed, it can be opened again as a new window.
    SendMessageA(first, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.historyFrame, nullptr);
    SendMessageA(main.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_VIEW_HISTORY, BN_CLICKED), 0);
    ASSERT_NE(app.historyFrame, nullptr);
    HWND second = app.historyFrame->hwnd();
    EXPECT_TRUE(IsWindow(second));

    app.ExitInstance();
    EXPECT_EQ(app.historyFrame, nullptr);
    EXPECT_FALSE(IsWindow(second));
}

// A window of our own class whose handler throws: the exception stays inside the window
// procedure and the window ends.
class ThrowingWindow : public ui::Window {
  public:
    bool make() {
        return registerClass("VexaroTestThrowing") &&
               createWindow(0, "VexaroTestThrowing", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
    }
    bool failCreate = false;
    bool detached = false;

  protected:
    bool OnCreate(CREATESTRUCTA&) override {
        if (failCreate)
            throw std::runtime_error("create");
        return true;
    }
    bool OnCommand(int, int, HWND) override { throw std::runtime_error("command"); }
    void windowDetached() noexcept override { detached = true; }
};

TEST(UiWindow, AnExceptionInAHandlerEndsTheWindowAndGoesNoFurther) {
    ThrowingWindow w;
    ASSERT_TRUE(w.make());
    HWND window = w.hwnd();
    EXPECT_EQ(ui::Window::fromWindow(window), &w);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 1, 0), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(w.hasWindow());
    EXPECT_TRUE(w.detached);

    ThrowingWindow failing;
    failing.failCreate = true;
    EXPECT_FALSE(failing.make());
    EXPECT_FALSE(failing.hasWindow());
}

TEST(UiWindow, DestroyingTheObjectDestroysItsWindow) {
    HWND window = nullptr;
    {
        ThrowingWindow w;
        ASSERT_TRUE(w.make());
        window = w.hwnd();
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(ui::Window::fromWindow(window), nullptr);
}

}  // namespace

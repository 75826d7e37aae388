// The main window for real under Wine, listing the windows of the stand-in browser shell: the
// rows, the check boxes and "&Download Now", the pop-up menus, the system menu and the About box.

#include "app/win/browser_list_dlg.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "ui/com.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "win_test_util.h"

namespace {

using OpenWindows = wintest::StandinWindows;

const char kFourWindows[] =
    "<BROWSER>\r\n"
    "<WINDOW TITLE=\"Holiday photos\" URL=\"http://127.0.0.1/album/index.html\" KIND=\"html\"/>\r\n"
    "<WINDOW TITLE=\"C:\\Users\" URL=\"file:///C:/Users\" KIND=\"folder\"/>\r\n"
    "<WINDOW TITLE=\"\" URL=\"http://127.0.0.1/untitled/\" KIND=\"html\"/>\r\n"
    "<WINDOW TITLE=\"Music A\" URL=\"http://127.0.0.1/music/\" KIND=\"html\"/>\r\n"
    "<WINDOW TITLE=\"Music B\" URL=\"http://127.0.0.1/music/\" KIND=\"html\"/>\r\n"
    "</BROWSER>\r\n";

const char kNoWindows[] = "<BROWSER>\r\n</BROWSER>\r\n";

const char kOnlyFolder[] =
    "<BROWSER>\r\n"
    "<WINDOW TITLE=\"C:\\\" URL=\"file:///C:/\" KIND=\"folder\"/>\r\n"
    "</BROWSER>\r\n";

struct ShellCall {
    std::string verb;  // "(default)" for none
    std::string target;
};

bool rowChecked(HWND list, int row) {
    const auto state =
        static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

// A real check-box change of the list control: it tells its window through LVN_ITEMCHANGED.
void setRowChecked(HWND list, int row, bool checked) {
    LVITEMA state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

int rowCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string menuText(HMENU menu, UINT position) {
    char buffer[256] = {};
    GetMenuStringA(menu, position, buffer, sizeof buffer, MF_BYPOSITION);
    return buffer;
}

struct MenuEntry {
    std::string text;
    UINT id = 0;
    bool separator = false;
    bool grey = false;
};

std::vector<MenuEntry> menuEntries(HMENU menu) {
    std::vector<MenuEntry> entries;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MenuEntry entry;
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        entry.separator = (state & MF_SEPARATOR) != 0;
        entry.grey = (state & (MF_GRAYED | MF_DISABLED)) != 0;
        entry.id = GetMenuItemID(menu, i);
        entry.text = menuText(menu, static_cast<UINT>(i));
        entries.push_back(entry);
    }
    return entries;
}

// Reads the pop-up menu that is open on this thread from inside its menu loop (a thread timer
// runs there), then picks an entry by keyboard or closes the menu.
struct OpenMenuReader {
    static inline std::vector<MenuEntry> entries;
    static inline bool seen = false;
    static inline int pick = -1;  // entry to choose by VK_DOWN presses; -1 closes the menu
    static inline int ticks = 0;

    static void arm(int entryToPick) {
        entries.clear();
        seen = false;
        pick = entryToPick;
        ticks = 0;
        SetTimer(nullptr, 0, 50, &OpenMenuReader::tick);
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
        HWND popup = FindWindowA("#32768", nullptr);
        if (!popup || !IsWindowVisible(popup)) {
            // Never leave a test stuck in a menu loop that did not come up as expected.
            if (++ticks > 600) {
                KillTimer(nullptr, id);
                EndMenu();
            }
            return;
        }
        KillTimer(nullptr, id);
        auto menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
        entries = menuEntries(menu);
        seen = true;
        if (pick < 0) {
            EndMenu();
            return;
        }
        for (int i = 0; i <= pick; ++i) {
            PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(popup, WM_KEYUP, VK_DOWN, 0);
        }
        PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(popup, WM_KEYUP, VK_RETURN, 0);
    }
};

// Reads and closes the About box from inside its modal loop.
struct AboutBoxReader {
    static inline std::string caption;
    static inline std::string version;
    static inline bool seen = false;
    static inline int ticks = 0;

    static void arm() {
        caption.clear();
        version.clear();
        seen = false;
        ticks = 0;
        SetTimer(nullptr, 0, 50, &AboutBoxReader::tick);
    }

    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = FindWindowA("#32770", "About Vexaro");
        if (!box || !IsWindowVisible(box)) {
            if (++ticks > 600)
                KillTimer(nullptr, id);
            return;
        }
        KillTimer(nullptr, id);
        char text[256] = {};
        GetWindowTextA(box, text, sizeof text);
        caption = text;
        GetDlgItemTextA(box, IDC_ABOUT_VERSION, text, sizeof text);
        version = text;
        seen = true;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    }
};

class BrowserListDlgTest : public ::testing::Test {
  protected:
    void open(const char* fixture) {
        windows_.write(fixture);
        dialog_ = std::make_unique<vx::CBrowserListDlg>();
        dialog_->setShellOpener([this](const char* verb, const std::string& target) {
            shellCalls_.push_back({verb ? verb : "(default)", target});
        });
        ASSERT_TRUE(dialog_->Create());
        list_ = dialog_->item(IDC_BROWSER_LIST);
        ASSERT_NE(list_, nullptr);
    }

    bool downloadNowEnabled() const {
        return IsWindowEnabled(dialog_->item(IDC_DOWNLOAD_NOW)) != 0;
    }

    void command(int id) {
        SendMessageA(dialog_->hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }

    void click(int id) { SendMessageA(dialog_->item(id), BM_CLICK, 0, 0); }

    // The list's right click, as the list control reports it.
    void rightClickList() {
        NMHDR header{};
        header.hwndFrom = list_;
        header.idFrom = IDC_BROWSER_LIST;
        header.code = NM_RCLICK;
        SendMessageA(dialog_->hwnd(), WM_NOTIFY, IDC_BROWSER_LIST,
                     reinterpret_cast<LPARAM>(&header));
    }

    ui::ComInit com_;
    OpenWindows windows_;
    std::unique_ptr<vx::CBrowserListDlg> dialog_;
    HWND list_ = nullptr;
    std::vector<ShellCall> shellCalls_;
};

TEST_F(BrowserListDlgTest, ListsEveryHtmlWindowCheckedAndLeavesFolderWindowsOut) {
    open(kFourWindows);
    ASSERT_TRUE(dialog_->ready());
    ASSERT_EQ(rowCount(list_), 4);

    EXPECT_EQ(ui::listItemText(list_, 0, 0), "Holiday photos");
    EXPECT_EQ(ui::listItemText(list_, 0, 1), "http://127.0.0.1/album/index.html");
    // An untitled page shows the placeholder bytes, as the system code page renders them.
    EXPECT_EQ(ui::listItemText(list_, 1, 0), "\xCE\xDE\xB1\xEA\xCC\xE2");
    EXPECT_EQ(ui::listItemText(list_, 1, 1), "http://127.0.0.1/untitled/");
    // Two windows on one address are two rows.
    EXPECT_EQ(ui::listItemText(list_, 2, 0), "Music A");
    EXPECT_EQ(ui::listItemText(list_, 3, 0), "Music B");
    EXPECT_EQ(ui::listItemText(list_, 2, 1), ui::listItemText(list_, 3, 1));
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(rowChecked(list_, row)) << row;
        EXPECT_NE(ui::listItemText(list_, row, 1), "file:///C:/Users");
    }
    EXPECT_TRUE(downloadNowEnabled());
}

TEST_F(BrowserListDlgTest, ListHasTwoColumnsAndTheExtendedStyles) {
    open(kFourWindows);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    ASSERT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
    const char* headings[] = {"Browser Window Title", "Current URL"};
    const int widths[] = {200, 400};
    for (int i = 0; i < 2; ++i) {
        char text[128] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list_, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, headings[i]);
        EXPECT_EQ(SendMessageA(list_, LVM_GETCOLUMNWIDTH, i, 0), widths[i]);
    }
    const auto styles = static_cast<DWORD>(SendMessageA(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    for (DWORD style : {LVS_EX_GRIDLINES, LVS_EX_CHECKBOXES, LVS_EX_FULLROWSELECT, LVS_EX_FLATSB})
        EXPECT_EQ(styles & style, style) << std::hex << style;
    EXPECT_EQ(GetWindowLongA(list_, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
}

TEST_F(BrowserListDlgTest, LayoutShowsEveryButtonAlbumAndAdvancedIncluded) {
    open(kNoWindows);
    EXPECT_EQ(dialog_->text(), "Vexaro");
    for (int id : {IDC_REFRESH_LIST, IDC_DOWNLOAD_NOW, IDC_OPEN_FOLDER, IDC_VIEW_HISTORY, IDC_ALBUM,
                   IDC_ADVANCED, IDC_SETUP, IDC_HELP_BUTTON, IDCANCEL}) {
        ASSERT_NE(dialog_->item(id), nullptr) << id;
        EXPECT_TRUE(IsWindowVisible(dialog_->item(id))) << id;
    }
    EXPECT_EQ(dialog_->itemText(IDC_ALBUM), "&Album...");
    EXPECT_EQ(dialog_->itemText(IDC_ADVANCED), "Ad&vanced...");
    EXPECT_EQ(dialog_->itemText(IDC_DOWNLOAD_NOW), "&Download Now");
    EXPECT_EQ(dialog_->itemText(IDCANCEL), "&Exit");
}

TEST_F(BrowserListDlgTest, NoBrowserWindowsGiveAnEmptyListAndNoDownload) {
    open(kOnlyFolder);
    ASSERT_TRUE(dialog_->ready());
    EXPECT_EQ(rowCount(list_), 0);
    EXPECT_FALSE(downloadNowEnabled());
}

TEST_F(BrowserListDlgTest, UncheckingTheLastCheckedRowDisablesDownloadNow) {
    open(kFourWindows);
    ASSERT_EQ(rowCount(list_), 4);
    for (int row = 0; row < 3; ++row) {
        setRowChecked(list_, row, false);
        EXPECT_TRUE(downloadNowEnabled()) << "row " << row << " unchecked, the last still checked";
    }
    setRowChecked(list_, 3, false);
    EXPECT_FALSE(downloadNowEnabled());
    setRowChecked(list_, 1, true);
    EXPECT_TRUE(downloadNowEnabled());
}

TEST_F(BrowserListDlgTest, SpaceOnARowTogglesItsCheckBox) {
    open(
        "<BROWSER>\r\n<WINDOW TITLE=\"Only\" URL=\"http://127.0.0.1/only\" KIND=\"html\"/>\r\n"
        "</BROWSER>\r\n");
    ASSERT_EQ(rowCount(list_), 1);
    LVITEMA focus{};
    focus.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    focus.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageA(list_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&focus));
    SetFocus(list_);
    SendMessageA(list_, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageA(list_, WM_KEYUP, VK_SPACE, 0);
    ASSERT_TRUE(wintest::waitFor([&] { return !rowChecked(list_, 0); }));
    EXPECT_FALSE(downloadNowEnabled());
}

TEST_F(BrowserListDlgTest, DownloadNowHandsOverTheCheckedAddressesOnce) {
    // The pages have no media, so the session ends with its message; what matters here is the
    // page list it was given.
    wintest::MessageBoxCatcher catcher;
    open(kFourWindows);
    ASSERT_TRUE(dialog_->ready());
    setRowChecked(list_, 0, false);
    click(IDC_DOWNLOAD_NOW);
    ASSERT_TRUE(catcher.waitForCount(1));
    EXPECT_EQ(catcher.boxes()[0].text, "No files to download.");
    ASSERT_TRUE(wintest::waitFor([&] { return !dialog_->downloads().workerActive(); }));
    const std::vector<std::string> expected{"http://127.0.0.1/untitled/",
                                            "http://127.0.0.1/music/"};
    EXPECT_EQ(dialog_->downloads().session().pageUrls().entries(), expected);
    EXPECT_TRUE(wintest::waitFor([&] { return downloadNowEnabled(); }));
}

TEST_F(BrowserListDlgTest, ReverseSelectAndSelectAll) {
    open(kFourWindows);
    for (int row = 0; row < 4; ++row)
        setRowChecked(list_, row, false);
    ASSERT_FALSE(downloadNowEnabled());

    command(ID_REVERSE_SELECT);
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(rowChecked(list_, row)) << row;
    EXPECT_TRUE(downloadNowEnabled());

    setRowChecked(list_, 0, false);
    setRowChecked(list_, 2, false);
    command(ID_REVERSE_SELECT);
    EXPECT_TRUE(rowChecked(list_, 0));
    EXPECT_FALSE(rowChecked(list_, 1));
    EXPECT_TRUE(rowChecked(list_, 2));
    EXPECT_FALSE(rowChecked(list_, 3));

    command(ID_SELECT_ALL);
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(rowChecked(list_, row)) << row;
    EXPECT_TRUE(downloadNowEnabled());
}

TEST_F(BrowserListDlgTest, RefreshRebuildsTheRowsChecked) {
    open(kFourWindows);
    setRowChecked(list_, 0, false);
    setRowChecked(list_, 3, false);
    click(IDC_REFRESH_LIST);
    ASSERT_EQ(rowCount(list_), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(rowChecked(list_, row)) << row;
    EXPECT_EQ(ui::listItemText(list_, 0, 0), "Holiday photos");
}

TEST_F(BrowserListDlgTest, RowMenuOnEmptyListHasGreySelectionEntriesAndNoProjectEntry) {
    open(kNoWindows);
    OpenMenuReader::arm(-1);
    rightClickList();
    ASSERT_TRUE(OpenMenuReader::seen);
    const auto& entries = OpenMenuReader::entries;
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].text, "Select &All");
    EXPECT_EQ(entries[0].id, static_cast<UINT>(ID_SELECT_ALL));
    EXPECT_TRUE(entries[0].grey);
    EXPECT_EQ(entries[1].text, "&Reverse Select");
    EXPECT_EQ(entries[1].id, static_cast<UINT>(ID_REVERSE_SELECT));
    EXPECT_TRUE(entries[1].grey);
    EXPECT_TRUE(entries[2].separator);
    EXPECT_EQ(entries[3].text, "Refresh &Window List");
    EXPECT_EQ(entries[3].id, static_cast<UINT>(IDC_REFRESH_LIST));
    EXPECT_FALSE(entries[3].grey);
    for (const MenuEntry& e : entries)
        EXPECT_NE(e.text, "&Save as a Project");
}

TEST_F(BrowserListDlgTest, RowMenuSelectAllChecksEveryRow) {
    open(kFourWindows);
    for (int row = 0; row < 4; ++row)
        setRowChecked(list_, row, false);
    OpenMenuReader::arm(0);
    rightClickList();
    ASSERT_TRUE(OpenMenuReader::seen);
    ASSERT_EQ(OpenMenuReader::entries.size(), 4u);
    EXPECT_FALSE(OpenMenuReader::entries[0].grey);
    EXPECT_FALSE(OpenMenuReader::entries[1].grey);
    for (const MenuEntry& e : OpenMenuReader::entries)
        EXPECT_NE(e.id, static_cast<UINT>(ID_SAVE_AS_PROJECT));
    ASSERT_TRUE(wintest::waitFor([&] {
        for (int row = 0; row < 4; ++row) {
            if (!rowChecked(list_, row))
                return false;
        }
        return true;
    }));
    EXPECT_TRUE(downloadNowEnabled());
}

TEST_F(BrowserListDlgTest, HelpButtonShowsTheHelpMenu) {
    open(kNoWindows);
    OpenMenuReader::arm(-1);
    click(IDC_HELP_BUTTON);
    ASSERT_TRUE(OpenMenuReader::seen);
    std::vector<std::string> texts;
    std::vector<UINT> ids;
    for (const MenuEntry& e : OpenMenuReader::entries) {
        texts.push_back(e.separator ? "-" : e.text);
        ids.push_back(e.separator ? 0 : e.id);
    }
    const std::vector<std::string> expectedTexts{"User &Manual",
                                                 "-",
                                                 "Check for &New Version...",
                                                 "-",
                                                 "Visit Vexaro &Home Page",
                                                 "E-Mail &Support",
                                                 "-",
                                                 "&About"};
    const std::vector<UINT> expectedIds{ID_USER_MANUAL,   0, ID_CHECK_NEW_VERSION, 0, ID_HOME_PAGE,
                                        ID_EMAIL_SUPPORT, 0, ID_APP_ABOUT};
    EXPECT_EQ(texts, expectedTexts);
    EXPECT_EQ(ids, expectedIds);
}

TEST_F(BrowserListDlgTest, SystemMenuEndsWithSeparatorAndAbout) {
    open(kNoWindows);
    HMENU menu = GetSystemMenu(dialog_->hwnd(), FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_TRUE(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(menuText(menu, static_cast<UINT>(count - 1)), "About Vexaro(&A)...");
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
}

TEST_F(BrowserListDlgTest, AboutBoxFromSystemMenuAndHelpMenuShowsTheVersion) {
    open(kNoWindows);
    AboutBoxReader::arm();
    SendMessageA(dialog_->hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ASSERT_TRUE(AboutBoxReader::seen);
    EXPECT_EQ(AboutBoxReader::caption, "About Vexaro");
    EXPECT_EQ(AboutBoxReader::version, "Vexaro 1.2.0 Build 0325");

    AboutBoxReader::arm();
    command(ID_APP_ABOUT);
    ASSERT_TRUE(AboutBoxReader::seen);
    EXPECT_EQ(AboutBoxReader::version, "Vexaro 1.2.0 Build 0325");
    // The main window is usable again once the box has gone.
    EXPECT_TRUE(IsWindowEnabled(dialog_->hwnd()));
}

TEST_F(BrowserListDlgTest, OpenFolderExploresTheSaveFolder) {
    open(kNoWindows);
    click(IDC_OPEN_FOLDER);
    ASSERT_EQ(shellCalls_.size(), 1u);
    EXPECT_EQ(shellCalls_[0].verb, "explore");
    EXPECT_EQ(shellCalls_[0].target, dialog_->settings().saveFolder.str());
    EXPECT_FALSE(shellCalls_[0].target.empty());
}

TEST_F(BrowserListDlgTest, HomePageAndSupportMailOpenWithTheDefaultVerb) {
    open(kNoWindows);
    command(ID_HOME_PAGE);
    command(ID_EMAIL_SUPPORT);
    ASSERT_EQ(shellCalls_.size(), 2u);
    EXPECT_EQ(shellCalls_[0].verb, "(default)");
    EXPECT_EQ(shellCalls_[0].target.rfind("http://", 0), 0u) << shellCalls_[0].target;
    EXPECT_EQ(shellCalls_[1].verb, "(default)");
    EXPECT_EQ(shellCalls_[1].target.rfind("mailto:", 0), 0u) << shellCalls_[1].target;
}

TEST_F(BrowserListDlgTest, EnterDoesNotCloseTheWindow) {
    open(kFourWindows);
    command(IDOK);
    wintest::pumpMessages();
    EXPECT_TRUE(IsWindow(dialog_->hwnd()));
    click(IDCANCEL);
    EXPECT_TRUE(wintest::waitFor([&] { return !dialog_->hasWindow(); }));
}

TEST_F(BrowserListDlgTest, WithoutBrowserWindowCollectionTheWindowStaysOpenButNotReady) {
    wintest::MessageBoxCatcher catcher;
    windows_.write(kFourWindows);
    dialog_ = std::make_unique<vx::CBrowserListDlg>();
    dialog_->setBrowserWindowsOpener([] { return nullptr; });
    ASSERT_TRUE(dialog_->Create());
    list_ = dialog_->item(IDC_BROWSER_LIST);

    ASSERT_TRUE(catcher.waitForCount(1));
    const auto boxes = catcher.boxes();
    EXPECT_EQ(boxes[0].text, "Error creating ie doc window!");
    EXPECT_EQ(boxes[0].caption, ui::appTitle());

    EXPECT_FALSE(dialog_->ready());
    EXPECT_TRUE(IsWindowVisible(dialog_->hwnd()));
    EXPECT_EQ(rowCount(list_), 0);
    HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(header ? SendMessageA(header, HDM_GETITEMCOUNT, 0, 0) : 0, 0);
    EXPECT_FALSE(downloadNowEnabled());

    // Neither a refresh nor a download does anything now.
    click(IDC_REFRESH_LIST);
    command(IDC_DOWNLOAD_NOW);
    EXPECT_EQ(rowCount(list_), 0);
    EXPECT_EQ(catcher.count(), 1u);
}

}  // namespace

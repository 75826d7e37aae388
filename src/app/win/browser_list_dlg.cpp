#include "app/win/browser_list_dlg.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "app/win/about_dlg.h"
#include "app/win/advanced_frame.h"
#include "app/win/html_help.h"
#include "app/win/thumbnail_album.h"
#include "app/win/vexaro_app.h"
#include "base/file_system.h"
#include "base/install_folder.h"
#include "download/win/shell_windows.h"
#include "history/win/history_frame.h"
#include "resources/resource.h"
#include "settings/win/settings_sheet.h"
#include "settings/win/settings_store_win.h"
#include "ui/controls.h"
#include "ui/message_box.h"
#include "ui/module.h"
#include "ui/text.h"
#include "update/win/update_check_dlg.h"

namespace vx {

namespace {

constexpr int kTitleColumnWidth = 200;
constexpr int kAddressColumnWidth = 400;
constexpr DWORD kListStyles =
    LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;

void shellExecute(const char* verb, const std::string& target) {
    // The result is not examined: a folder that does not exist is the shell's to report.
    ShellExecuteA(nullptr, verb, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void insertColumn(HWND list, int index, const std::string& heading, int width) {
    std::string text = heading;
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = text.data();
    column.iSubItem = index;
    SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

}  // namespace

CBrowserListDlg::CBrowserListDlg()
    : Dialog(IDD_VEXARO_DIALOG),
      openBrowserWindows_([] { return createShellWindowSource(); }),
      shellOpen_(&shellExecute),
      downloads_(settings_) {
    icon_ = static_cast<HICON>(LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                          IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    smallIcon_ = static_cast<HICON>(
        LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    DownloadSettings settings;
    initSettings(settings);
    settings_.set(std::move(settings));
}

CBrowserListDlg::~CBrowserListDlg() {
    // The worker may be sending to the progress window, which goes with this window.
    downloads_.shutdown();
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (icon_)
        DestroyIcon(icon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

void CBrowserListDlg::setBrowserWindowsOpener(BrowserWindowsOpener opener) {
    openBrowserWindows_ = std::move(opener);
}

void CBrowserListDlg::setShellOpener(ShellOpener opener) {
    shellOpen_ = std::move(opener);
}

HWND CBrowserListDlg::list() const {
    return item(IDC_BROWSER_LIST);
}

bool CBrowserListDlg::OnInitDialog() {
    if (HMENU systemMenu = GetSystemMenu(hwnd_, FALSE)) {
        const std::string about = ui::loadString(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(smallIcon_ ? smallIcon_ : icon_));

    if (!initEngine()) {
        updateDownloadNow();
        return true;
    }
    setUpList();
    fillList();
    updateDownloadNow();
    return true;
}

bool CBrowserListDlg::initEngine() {
    browserWindows_.reset();
    return downloads_.initEngine(hwnd_, [this] {
        browserWindows_ = openBrowserWindows_ ? openBrowserWindows_() : nullptr;
        return browserWindows_ != nullptr;
    });
}

void CBrowserListDlg::setUpList() {
    HWND control = list();
    SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE, kListStyles, kListStyles);
    insertColumn(control, 0, ui::loadString(IDS_COLUMN_TITLE), kTitleColumnWidth);
    insertColumn(control, 1, ui::loadString(IDS_COLUMN_URL), kAddressColumnWidth);
}

int CBrowserListDlg::fillList() {
    HWND control = list();
    if (!ready() || !browserWindows_ || !control)
        return 0;
    SendMessageA(control, LVM_DELETEALLITEMS, 0, 0);
    int count = 0;
    for (const WindowListRow& row : fillWindowList(*browserWindows_)) {
        std::string title = row.title;
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = count;
        item.pszText = title.data();
        const auto index = static_cast<int>(
            SendMessageA(control, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        if (index < 0)
            continue;
        std::string address = row.address;
        LVITEMA sub{};
        sub.iSubItem = 1;
        sub.pszText = address.data();
        SendMessageA(control, LVM_SETITEMTEXTA, index, reinterpret_cast<LPARAM>(&sub));
        setRowCheck(index, row.checked);
        ++count;
    }
    return static_cast<int>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<WindowListRow> CBrowserListDlg::readRows(bool withTexts) const {
    std::vector<WindowListRow> rows;
    HWND control = list();
    if (!control)
        return rows;
    const auto count = static_cast<int>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0));
    rows.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        WindowListRow row;
        const auto state =
            static_cast<UINT>(SendMessageA(control, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK));
        row.checked = ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
        if (withTexts) {
            row.title = ui::listItemText(control, i, 0);
            row.address = ui::listItemText(control, i, 1);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<WindowListRow> CBrowserListDlg::rows() const {
    return readRows(true);
}

void CBrowserListDlg::setRowCheck(int row, bool checked) const {
    LVITEMA state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageA(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

void CBrowserListDlg::updateDownloadNow() {
    enableItem(IDC_DOWNLOAD_NOW, downloadNowEnabled(readRows(false)));
}

void CBrowserListDlg::setAllChecks(bool checked) {
    const auto count = static_cast<int>(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        setRowCheck(i, checked);
    updateDownloadNow();
}

void CBrowserListDlg::reverseChecks() {
    std::vector<WindowListRow> rows = readRows(false);
    reverseSelection(rows);
    for (size_t i = 0; i < rows.size(); ++i)
        setRowCheck(static_cast<int>(i), rows[i].checked);
    updateDownloadNow();
}

bool CBrowserListDlg::OnCommand(int id, int, HWND) {
    switch (id) {
        case IDC_REFRESH_LIST:
            fillList();
            updateDownloadNow();
            return true;
        case IDC_DOWNLOAD_NOW:
            startDownloadFromCheckedRows();
            return true;
        case IDC_SETUP:
            openSettings();
            return true;
        case IDC_OPEN_FOLDER:
            openSaveFolder();
            return true;
        case IDC_HELP_BUTTON:
            showHelpMenu();
            return true;
        case ID_SELECT_ALL:
            setAllChecks(true);
            return true;
        case ID_REVERSE_SELECT:
            reverseChecks();
            return true;
        case ID_HOME_PAGE:
            shellOpen_(nullptr, kHomePageAddress);
            return true;
        case ID_EMAIL_SUPPORT:
            shellOpen_(nullptr, kSupportMailAddress);
            return true;
        case ID_APP_ABOUT:
            showAbout();
            return true;
        case ID_CHECK_NEW_VERSION: {
            CUpdateCheckDlg check;
            check.DoModal(hwnd_);
            return true;
        }
        case IDC_VIEW_HISTORY:
            if (CVexaroApp* app = CVexaroApp::current())
                showHistoryFrame(app->historyFrame);
            return true;
        case IDC_ADVANCED:
            if (CVexaroApp* app = CVexaroApp::current())
                showAdvancedFrame(app->advancedFrame);
            return true;
        case IDC_ALBUM:
            createThumbnailAlbum(hwnd_);
            return true;
        case ID_USER_MANUAL:
            showUserManual(hwnd_);
            return true;
        default:
            return false;
    }
}

bool CBrowserListDlg::OnNotify(NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_BROWSER_LIST)
        return false;
    switch (header.code) {
        case LVN_ITEMCHANGED:
            updateDownloadNow();
            return true;
        case NM_RCLICK:
            showRowMenu();
            result = 1;
            return true;
        default:
            return false;
    }
}

bool CBrowserListDlg::OnMessage(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
        case WM_SYSCOMMAND:
            if ((wp & 0xFFF0) == IDM_ABOUTBOX) {
                showAbout();
                return true;
            }
            return false;
        case WM_PAINT:
            if (!IsIconic(hwnd_))
                return false;
            paintMinimised();
            return true;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(icon_);
            return true;
        case WM_DESTROY:
            downloads_.shutdown();
            browserWindows_.reset();
            return false;
        default:
            return false;
    }
}

void CBrowserListDlg::paintMinimised() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    SendMessageA(hwnd_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(hwnd_, &paint);
}

void CBrowserListDlg::showRowMenu() {
    POINT at{};
    GetCursorPos(&at);
    HMENU menu = LoadMenuA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_LIST_MENU));
    if (!menu)
        return;
    if (HMENU popup = GetSubMenu(menu, 0)) {
        const bool hasRows = SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0) > 0;
        const UINT state = MF_BYCOMMAND | (hasRows ? MF_ENABLED : MF_GRAYED);
        EnableMenuItem(popup, ID_SELECT_ALL, state);
        EnableMenuItem(popup, ID_REVERSE_SELECT, state);
        // The separator after "&Reverse Select" and the project entry are not offered.
        RemoveMenu(popup, 2, MF_BYPOSITION);
        RemoveMenu(popup, ID_SAVE_AS_PROJECT, MF_BYCOMMAND);
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, hwnd_, nullptr);
    }
    DestroyMenu(menu);
}

void CBrowserListDlg::showHelpMenu() {
    POINT at{};
    GetCursorPos(&at);
    HMENU menu = LoadMenuA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_HELP_MENU));
    if (!menu)
        return;
    if (HMENU popup = GetSubMenu(menu, 0))
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, hwnd_, nullptr);
    DestroyMenu(menu);
}

void CBrowserListDlg::openSaveFolder() {
    shellOpen_("explore", settings_.get().saveFolder.str());
}

void CBrowserListDlg::startDownloadFromCheckedRows() {
    // Not ready: nothing happens; a worker still active: the session says so
    // (IDS_WORKER_STILL_ACTIVE).
    downloads_.downloadNow(checkedAddresses(rows()));
}

void CBrowserListDlg::close(int result) {
    // The worker stops and is joined while the progress window it reports to still exists.
    downloads_.shutdown();
    Dialog::close(result);
}

void CBrowserListDlg::openSettings() {
    editSharedSettings(hwnd_, settings_);
}

void CBrowserListDlg::showAbout() {
    CAboutDlg about;
    about.DoModal(hwnd_);
}

}  // namespace vx

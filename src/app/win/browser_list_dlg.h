#pragma once
// The main window of the window-list mode (IDD_VEXARO_DIALOG): the open browser windows that show a
// web page, each with a check box, and the commands around them. "&Download Now" hands the checked
// pages to a download session that runs while this window stays open.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_list.h"
#include "download/browser_port.h"
#include "download/win/session_win.h"
#include "settings/download_settings.h"
#include "ui/dialog.h"

namespace vx {

class CBrowserListDlg : public ui::Dialog {
  public:
    // Opens the collection of browser windows on the window's thread; nullptr when it cannot.
    using BrowserWindowsOpener = std::function<std::unique_ptr<BrowserWindowSource>()>;
    // Runs a shell command without owner window (ShellExecuteA with SW_SHOWNORMAL); `verb` may be
    // null for the default verb.
    using ShellOpener = std::function<void(const char* verb, const std::string& target)>;

    // Loads the icon and the settings record.
    CBrowserListDlg();
    ~CBrowserListDlg() override;

    // For tests, before the window is created: another source of browser windows, another shell.
    void setBrowserWindowsOpener(BrowserWindowsOpener opener);
    void setShellOpener(ShellOpener opener);

    // Start-up succeeded: the list can be filled and downloads can start.
    bool ready() const { return downloads_.ready(); }
    DownloadSettings settings() const { return settings_.get(); }
    // The download state behind "&Download Now" and the progress window.
    MainWindowSession& downloads() { return downloads_; }

    // The rows as the list shows them.
    std::vector<WindowListRow> rows() const;
    // Refills the list from the open browser windows (nothing while not ready); the row count.
    int fillList();
    // "&Download Now" enabled exactly while a row is checked.
    void updateDownloadNow();

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    // Enter does not close the program; only "&Exit", Escape and the close box do.
    void OnOK() override {}
    void close(int result) override;

  private:
    // Prepares the download machinery and the browser-window collection; false (with the reason
    // shown) leaves the window open but not ready.
    bool initEngine();
    void setUpList();
    // "&Download Now": the checked rows' addresses, each once, go to a new download session.
    void startDownloadFromCheckedRows();

    void showRowMenu();
    void showHelpMenu();
    void setAllChecks(bool checked);
    void reverseChecks();
    void openSaveFolder();
    void openSettings();
    void showAbout();
    void paintMinimised();

    HWND list() const;
    std::vector<WindowListRow> readRows(bool withTexts) const;
    void setRowCheck(int row, bool checked) const;

    HICON icon_ = nullptr;
    HICON smallIcon_ = nullptr;
    BrowserWindowsOpener openBrowserWindows_;
    ShellOpener shellOpen_;
    std::unique_ptr<BrowserWindowSource> browserWindows_;
    // Read by the download worker and changed by the settings sheet.
    SharedDownloadSettings settings_;
    // After the settings: destroyed first, its worker joined before the record goes.
    MainWindowSession downloads_;
};

}  // namespace vx

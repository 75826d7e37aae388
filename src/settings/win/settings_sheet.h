#pragma once
// The settings sheet as every caller opens it: "Configuration..." with the "Download Setting"
// and "System Setting" pages in a page tree, over the DownloadSettings record of the window that
// opens it. The record is edited in place and saved by Apply.

#include <windows.h>
#include <commctrl.h>

#include "settings/download_settings.h"
#include "settings/win/prop_page_download_set.h"
#include "settings/win/prop_page_general.h"
#include "settings/win/tree_prop_sheet.h"

namespace vx {

// Builds the sheet over `settings` and runs it modally; returns IDOK when it was closed with OK,
// IDCANCEL when cancelled, -1 when it could not be shown. Callable from any thread with a message
// queue, also a download worker whose `owner` belongs to the user-interface thread.
// `commit`, when given, takes the place of the plain save at Apply.
INT_PTR openSettingsSheet(HWND owner, DownloadSettings& settings, SettingsCommit commit = nullptr);

// The sheet over a copy of a record that other threads read. Each Apply merges the fields this
// sheet changed into the shared record and saves the merged record, so "config.xml" always holds
// what the process uses, a running session sees the change at once, and a second sheet open at
// the same time loses nothing.
INT_PTR editSharedSettings(HWND owner, SharedDownloadSettings& settings);

// The sheet put together, for callers that run it themselves (modeless in tests).
class SettingsSheet {
  public:
    SettingsSheet(DownloadSettings& settings, HWND owner, SettingsCommit commit = nullptr);
    // The page icons and the image list go with the sheet.
    ~SettingsSheet();
    SettingsSheet(const SettingsSheet&) = delete;
    SettingsSheet& operator=(const SettingsSheet&) = delete;

    INT_PTR DoModal();
    bool Create();

    CTreePropSheet& sheet() { return sheet_; }
    CPropPageDownloadSet& downloadPage() { return downloadPage_; }
    CPropPageGeneral& generalPage() { return generalPage_; }
    HIMAGELIST images() const { return images_; }

  private:
    HWND owner_;
    HIMAGELIST images_ = nullptr;
    HICON downloadIcon_ = nullptr;
    HICON generalIcon_ = nullptr;
    CPropPageDownloadSet downloadPage_;
    CPropPageGeneral generalPage_;
    // Declared last: its window, holding the pages, goes first.
    CTreePropSheet sheet_;
};

}  // namespace vx

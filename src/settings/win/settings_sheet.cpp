#include "settings/win/settings_sheet.h"

#include "resource.h"
#include "settings/win/settings_store_win.h"
#include "ui/module.h"

namespace vx {

SettingsSheet::SettingsSheet(DownloadSettings& settings, HWND owner)
    : owner_(owner), sheet_(ui::loadString(IDS_SETTINGS_TITLE), owner) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    images_ = ImageList_LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDB_SETTINGS_TREE), 16, 1,
                                   RGB(0, 128, 128), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (images_) {
        downloadIcon_ = ImageList_GetIcon(images_, 0, ILD_NORMAL);
        generalIcon_ = ImageList_GetIcon(images_, 0, ILD_NORMAL);
    }
    downloadPage_.setIcon(downloadIcon_);
    downloadPage_.setHelpButton(false);
    downloadPage_.setSettings(&settings);
    generalPage_.setIcon(generalIcon_);
    generalPage_.setHelpButton(false);
    sheet_.setHelpButton(false);
    sheet_.AddPage(downloadPage_);
    sheet_.AddPage(generalPage_);
    if (images_)
        sheet_.SetTreeDefaultImages(images_);
    sheet_.SetTreeViewMode(true, true, true);
    sheet_.SetActivePage(downloadPage_);
}

SettingsSheet::~SettingsSheet() {
    sheet_.destroyWindow();
    if (downloadIcon_)
        DestroyIcon(downloadIcon_);
    if (generalIcon_)
        DestroyIcon(generalIcon_);
    if (images_)
        ImageList_Destroy(images_);
}

INT_PTR SettingsSheet::DoModal() {
    return sheet_.DoModal(owner_);
}

bool SettingsSheet::Create() {
    return sheet_.Create(owner_);
}

INT_PTR openSettingsSheet(HWND owner, DownloadSettings& settings) {
    try {
        SettingsSheet sheet(settings, owner);
        return sheet.DoModal();
    } catch (...) {
        return -1;
    }
}

INT_PTR editSharedSettings(HWND owner, SharedDownloadSettings& settings) {
    // A running worker reads the record and must never see it half changed: the sheet edits a
    // copy, and whatever was applied goes back when it closes, also after Cancel.
    const DownloadSettings before = settings.get();
    DownloadSettings edited = before;
    const INT_PTR result = openSettingsSheet(owner, edited);
    if (edited == before)
        return result;
    const DownloadSettings stored = settings.applyChanges(before, edited);
    // Apply wrote this sheet's copy; the other sheet's changes belong in the file too.
    if (!(stored == edited))
        saveSettings(stored);
    return result;
}

}  // namespace vx

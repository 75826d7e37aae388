#include "settings/win/settings_sheet.h"

#include "base/file_system.h"
#include "base/install_folder.h"
#include "resources/resource.h"
#include "ui/module.h"

namespace vx {

SettingsSheet::SettingsSheet(DownloadSettings& settings, HWND owner, SettingsCommit commit)
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
    if (!commit) {
        // A record of its own: Apply saves it as it is.
        commit = [](DownloadSettings& edited, uint32_t* error) {
            return saveSettings(edited, platformInstallEnvironment(), platformFileSystem(), error);
        };
    }
    downloadPage_.setCommit(std::move(commit));
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

INT_PTR openSettingsSheet(HWND owner, DownloadSettings& settings, SettingsCommit commit) {
    try {
        SettingsSheet sheet(settings, owner, std::move(commit));
        return sheet.DoModal();
    } catch (...) {
        return -1;
    }
}

INT_PTR editSharedSettings(HWND owner, SharedDownloadSettings& settings) {
    // A running worker reads the record and must never see it half changed: the sheet edits a
    // copy, and Apply hands over only what changed since the copy was last brought in line.
    DownloadSettings base = settings.get();
    DownloadSettings edited = base;
    SettingsCommit commit = [&settings, &base](DownloadSettings& changed, uint32_t* error) {
        bool saved = false;
        DownloadSettings merged =
            settings.applyChanges(base, changed, [&](const DownloadSettings& record) {
                saved =
                    saveSettings(record, platformInstallEnvironment(), platformFileSystem(), error);
            });
        base = merged;
        changed = merged;
        return saved;
    };
    return openSettingsSheet(owner, edited, std::move(commit));
}

}  // namespace vx

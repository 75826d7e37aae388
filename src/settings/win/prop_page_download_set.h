#pragma once
// "Download Setting": shows and edits the DownloadSettings record of the window that opened the
// sheet. The standard resolution boxes and "More..." change the record's resolution list at
// once; every other field changes at Apply, which also saves "config.xml".

#include <array>
#include <cstdint>
#include <functional>

#include "settings/download_page_logic.h"
#include "ui/property_sheet.h"

namespace vx {

// What Apply does with the page's record: saves it, or merges it into a record that others share,
// leaves the merged record in `edited`, and saves that. False, with the file error in `error`,
// when it could not be saved.
using SettingsCommit = std::function<bool(DownloadSettings& edited, uint32_t* error)>;

class CPropPageDownloadSet : public ui::PropertyPage {
  public:
    static constexpr int kFolderMaxChars = 255;
    static constexpr std::array<int, 5> kStandardBoxIds{1029, 1030, 1031, 1033, 1034};

    CPropPageDownloadSet();

    // The record to edit, before the sheet is shown; null leaves the page's record unchanged.
    void setSettings(DownloadSettings* settings);
    DownloadSettings* settings() const { return settings_; }
    // How Apply saves; set before the sheet is shown (the sheet always sets one).
    void setCommit(SettingsCommit commit) { commit_ = std::move(commit); }

    // The values the controls hold now.
    DownloadPageValues controlValues() const;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnApply() override;

  private:
    void showValues(const DownloadPageValues& values);
    void applySizeEnabling();
    void applyResolutionEnabling();
    void onSizeBoxClicked(int box, int edit);
    void onStandardBoxClicked(int index);
    void onTypeBoxClicked(int id);
    void browseFolder();
    void editResolutionList();
    void markModified();
    void showError(uint32_t code) const;
    void showPage();

    DownloadSettings* settings_ = nullptr;
    SettingsCommit commit_;
    // Set while the controls are filled: their change notifications are not the user's.
    bool filling_ = false;
};

}  // namespace vx

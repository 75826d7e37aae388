#pragma once
// "Resolution Capacity List": edits a copy of the record's resolution list beyond the five
// standard check boxes. It has no Cancel button; its close box and Escape cancel.

#include <vector>

#include "settings/resolution_list_logic.h"
#include "ui/dialog.h"

namespace vx {

class ResolutionListDialog : public ui::Dialog {
  public:
    explicit ResolutionListDialog(std::vector<ResolutionCap> resolutions);

    // The dialog's list, standard entries included; what "OK" hands back.
    const std::vector<ResolutionCap>& entries() const { return model_.entries(); }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

  private:
    void insertRow(int index, const ResolutionListModel::Row& row);
    void renumberRows();
    void add();
    void remove();

    ResolutionListModel model_;
};

}  // namespace vx

#include "settings/win/resolution_list_dialog.h"

#include <commctrl.h>

#include "resources/resource.h"
#include "ui/message_box.h"

namespace vx {

ResolutionListDialog::ResolutionListDialog(std::vector<ResolutionCap> resolutions)
    : Dialog(IDD_RESOLUTION_LIST), model_(std::move(resolutions)) {}

bool ResolutionListDialog::OnInitDialog() {
    const auto& rows = model_.rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i)
        insertRow(i, rows[i]);
    enableItem(IDOK, !rows.empty());
    return true;
}

void ResolutionListDialog::insertRow(int index, const ResolutionListModel::Row& row) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<char*>(row.text.c_str());
    // Each item refers to its entry of the dialog's list.
    item.lParam = static_cast<LPARAM>(row.entry);
    sendItemMessage(IDC_RESOLUTION_LIST, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ResolutionListDialog::renumberRows() {
    const auto& rows = model_.rows();
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        item.lParam = static_cast<LPARAM>(rows[i].entry);
        sendItemMessage(IDC_RESOLUTION_LIST, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

bool ResolutionListDialog::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    if (id == IDC_ADD_RESOLUTION) {
        add();
        return true;
    }
    if (id == IDC_REMOVE_RESOLUTION) {
        remove();
        return true;
    }
    return false;
}

void ResolutionListDialog::add() {
    switch (model_.add(itemText(IDC_RESOLUTION_X), itemText(IDC_RESOLUTION_Y))) {
        case ResolutionListModel::AddResult::MissingValue:
            ui::appMessageBox(ui::loadString(IDS_ENTER_RESOLUTION), MB_OK, hwnd());
            return;
        case ResolutionListModel::AddResult::Refused:
            return;
        case ResolutionListModel::AddResult::Added: {
            int index = static_cast<int>(model_.rows().size()) - 1;
            insertRow(index, model_.rows().back());
            enableItem(IDOK, true);
            return;
        }
    }
}

void ResolutionListDialog::remove() {
    std::vector<int> selected;
    int index = -1;
    for (;;) {
        index = static_cast<int>(
            sendItemMessage(IDC_RESOLUTION_LIST, LVM_GETNEXTITEM, index, LVNI_SELECTED));
        if (index < 0)
            break;
        selected.push_back(index);
    }
    if (!model_.remove(selected)) {
        ui::appMessageBox(ui::loadString(IDS_SELECT_RESOLUTION), MB_OK, hwnd());
        return;
    }
    // From the highest index down, as the model did.
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        sendItemMessage(IDC_RESOLUTION_LIST, LVM_DELETEITEM, *it, 0);
    renumberRows();
}

void ResolutionListDialog::OnOK() {
    // Enter reaches here even while "OK" is disabled.
    if (!isItemEnabled(IDOK))
        return;
    Dialog::OnOK();
}

}  // namespace vx

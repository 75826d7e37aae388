#include "settings/win/prop_page_general.h"

#include "base/win/module_file.h"
#include "resources/resource.h"
#include "settings/win/toolbar_button_win.h"
#include "ui/message_box.h"

namespace vx {

CPropPageGeneral::CPropPageGeneral() : PropertyPage(IDD_PROP_PAGE_GENERAL) {}

bool CPropPageGeneral::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    // Messages are owned by the sheet, which stays disabled while one is shown.
    if (id == IDC_ADD_TOOLBAR_BUTTON) {
        if (addToolbarButton(vx::moduleFileName()))
            ui::appMessageBox(ui::loadString(IDS_TOOLBAR_BUTTON_ADDED), MB_OK, sheetWindow());
        return true;
    }
    if (id == IDC_REMOVE_TOOLBAR_BUTTON) {
        if (removeToolbarButton())
            ui::appMessageBox(ui::loadString(IDS_TOOLBAR_BUTTON_REMOVED), MB_OK, sheetWindow());
        return true;
    }
    return false;
}

}  // namespace vx

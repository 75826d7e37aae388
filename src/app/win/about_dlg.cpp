#include "app/win/about_dlg.h"

#include "resources/resource.h"
#include "ui/module.h"

namespace vx {

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

bool CAboutDlg::OnInitDialog() {
    setItemText(IDC_ABOUT_VERSION, ui::loadString(IDS_VERSION_TEXT));
    return true;
}

}  // namespace vx

#pragma once
// The About box (IDD_ABOUTBOX): the icon, the version text and "OK".

#include "ui/dialog.h"

namespace vx {

class CAboutDlg : public ui::Dialog {
  public:
    CAboutDlg();

  protected:
    bool OnInitDialog() override;
};

}  // namespace vx

#pragma once
// "System Setting": puts a button that starts Vexaro on the web browser's own toolbar, or takes
// it away again. The page has no fields and nothing to apply.

#include "ui/property_sheet.h"

namespace vx {

class CPropPageGeneral : public ui::PropertyPage {
  public:
    CPropPageGeneral();

  protected:
    bool OnCommand(int id, int code, HWND control) override;
};

}  // namespace vx

#pragma once
// The history window's splitter: narrower bars and borders than the base's, and each pane framed
// by a single sunken line.

#include "ui/splitter_window.h"

namespace vx {

class CHistorySplitterWnd : public ui::SplitterWindow {
  public:
    CHistorySplitterWnd();

  protected:
    RECT paneRect(int row, int column) const override;
    void OnDrawSplitter(HDC dc, SplitType type, const RECT& rect) override;
};

}  // namespace vx

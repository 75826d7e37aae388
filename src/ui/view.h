#pragma once
// A child window that fills a pane of a frame or splitter and draws itself in OnDraw.

#include <windows.h>

#include "ui/window.h"

namespace ui {

class View : public Window {
  public:
    // Creates the view as child `id` of `parent` covering `rect` (parent client coordinates).
    bool create(HWND parent, const RECT& rect, UINT id, DWORD style = WS_CHILD | WS_VISIBLE,
                DWORD exStyle = 0);

  protected:
    // Paints the client area; the background is already erased with the window colour.
    virtual void OnDraw(HDC) {}
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

}  // namespace ui

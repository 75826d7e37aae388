#pragma once
// The band's hidden window inside the browser's window: parent of the toolbar at creation, so
// the toolbar's notifications come here and go on to the toolbar object.

#include <windows.h>

#include "toolbar/win/quenta_toolbar.h"

namespace quenta {

class CBandWindow {
  public:
    CBandWindow() = default;
    ~CBandWindow();
    CBandWindow(const CBandWindow&) = delete;
    CBandWindow& operator=(const CBandWindow&) = delete;

    // Creates the hidden band window over `rect` of `parent`, and with it the toolbar.
    bool create(HWND parent, const RECT& rect);
    // Destroys the band window and the toolbar window, wherever the browser has put it.
    void destroy();

    HWND hwnd() const { return hwnd_; }
    CQuentaToolbar& toolbar() { return toolbar_; }

    static void unregisterClass();

  private:
    static bool registerClass();
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);

    HWND hwnd_ = nullptr;
    CQuentaToolbar toolbar_;
};

}  // namespace quenta

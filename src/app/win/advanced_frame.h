#pragma once
// The advanced frame: a top-level window with the "&File" menu, a one-button toolbar ("&Create a
// Thumbnail Album...") and a status bar, and an empty client area. It exists at most once,
// through the application object's pointer.

#include <windows.h>

#include <memory>

#include "ui/control_bars.h"
#include "ui/frame_window.h"

namespace vx {

class CAdvancedFrame : public ui::HeldFrame {
  public:
    // `framePointer` is the application's pointer to the open frame: the frame takes itself out
    // of it when it closes and then ends its own life with its window.
    explicit CAdvancedFrame(std::unique_ptr<ui::WindowObject>* framePointer)
        : HeldFrame(framePointer) {}
    // The window goes while the bars it holds still exist.
    ~CAdvancedFrame() override { destroyWindow(); }

    ui::ToolBar& bar() { return toolBar_; }
    ui::StatusBar& status() { return statusBar_; }

    // The commands this frame handles; the menu shows every other item disabled.
    static bool handlesCommand(UINT id);

  protected:
    bool OnCreate(CREATESTRUCTA& create) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    void updateMenuStates(HMENU menu) const;

    ui::ToolBar toolBar_;
    ui::StatusBar statusBar_;
};

// "Ad&vanced...": the frame held by `framePointer` is brought forward (restored when minimised)
// when it is open; otherwise a new one is made, stored there and shown. The frame, or null when
// it could not be set up (the pointer is left empty then, so the next call tries afresh).
CAdvancedFrame* showAdvancedFrame(std::unique_ptr<ui::WindowObject>& framePointer);

}  // namespace vx

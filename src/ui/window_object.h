#pragma once
// The common root of every object that owns a window (dialogs, property pages, frames), so an
// owner can hold any of them through one pointer and destroy it with its object.

#include <windows.h>

namespace ui {

class WindowObject {
  public:
    virtual ~WindowObject() = default;
    WindowObject(const WindowObject&) = delete;
    WindowObject& operator=(const WindowObject&) = delete;

    // The window while it exists; null before it is created and once it has been destroyed.
    HWND hwnd() const { return hwnd_; }
    bool hasWindow() const { return hwnd_ != nullptr; }

  protected:
    WindowObject() = default;

    HWND hwnd_ = nullptr;
};

}  // namespace ui

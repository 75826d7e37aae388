#pragma once
// Windows of our own window classes over raw Win32. A Window binds its object to the window at
// WM_NCCREATE (through the creation parameter) and lets go at WM_NCDESTROY; between the two,
// every message goes to a few virtual handlers. No exception leaves the window procedure.

#include <windows.h>

#include "ui/window_object.h"

namespace ui {

class Window : public WindowObject {
  public:
    // A window still alive is destroyed with its object (without running derived handlers, which
    // are gone by now).
    ~Window() override;

    // The object bound to `window`, or null for windows of other kinds.
    static Window* fromWindow(HWND window);

    // Destroys the window (its children with it); nothing when there is none.
    void destroyWindow();

  protected:
    Window() = default;

    // Registers a window class whose procedure is this layer's; a class already registered by
    // this process counts as success. `name` must stay valid for the process's life.
    static bool registerClass(const char* name, UINT style = CS_HREDRAW | CS_VREDRAW,
                              HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                              HCURSOR cursor = nullptr);
    // Creates the window of class `className` bound to this object; false when the window could
    // not be created or OnCreate refused it. `menuOrId` is a menu for top-level windows and the
    // control identifier for child windows.
    bool createWindow(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                      int y, int width, int height, HWND parent, HMENU menuOrId);

    // Handlers; those returning bool return true when they handled the message, and unhandled
    // messages go to defaultProc.

    // WM_CREATE; false fails the creation.
    virtual bool OnCreate(CREATESTRUCTA&) { return true; }
    // WM_COMMAND from menus, accelerators and controls.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // WM_NOTIFY; `result` (0 unless set) is the notification's answer.
    virtual bool OnNotify(NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    // Every other message; `result` (0 unless set) is the message's answer.
    virtual bool OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) {
        return false;
    }
    virtual LRESULT defaultProc(UINT msg, WPARAM wp, LPARAM lp);

    // A handler let an exception out. The window's state is unknown then: by default it is
    // destroyed. During creation, the creation fails instead.
    virtual void handlerFailed() noexcept;
    // Called once the object has let go of its window at WM_NCDESTROY; an object that owns
    // itself may delete itself here.
    virtual void windowDetached() noexcept {}

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT dispatch(UINT msg, WPARAM wp, LPARAM lp);
    void bindWindow(HWND window);
    void unbindWindow();
};

}  // namespace ui

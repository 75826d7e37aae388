#pragma once
// A top-level frame: a menu from a menu resource, an optional toolbar docked at the top, an
// optional status bar at the bottom, and one client window filling the rest. Menu items and
// toolbar buttons show their command's prompt in the status bar ("prompt\ntip" in the string
// table), toolbar buttons their tip as a tool tip.

#include <windows.h>

#include <memory>
#include <string>

#include "ui/control_bars.h"
#include "ui/window.h"

namespace ui {

class FrameWindow : public Window {
  public:
    // The window goes first, then the icons it showed.
    ~FrameWindow() override;

    // The standard identifiers of a frame's parts.
    static constexpr UINT kStatusBarId = 59393;
    static constexpr UINT kFirstPaneId = 59648;
    // The status bar's text while no command is pointed at.
    static constexpr UINT kIdleMessage = 57345;

    // Creates the top-level window with the menu of resource `resourceId` (none when there is no
    // such menu), `style`, and the system's default position and size; false when creation
    // failed, the window is gone then.
    bool LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW, HWND parent = nullptr);

    // Shows the frame the way a second opening does: restored when minimised, shown otherwise,
    // and in the foreground.
    void bringForward() const;

    ToolBar* toolBar() const { return toolBar_; }
    StatusBar* statusBar() const { return statusBar_; }
    // The window between the bars, laid out with them.
    HWND clientWindow() const { return client_; }

    // Puts the toolbar, the status bar and the client window in their places.
    virtual void RecalcLayout();

  protected:
    // The bars and the client window the layout places; set by a derived frame as it makes them.
    void setToolBar(ToolBar* bar) { toolBar_ = bar; }
    void setStatusBar(StatusBar* bar) { statusBar_ = bar; }
    void setClientWindow(HWND client) { client_ = client; }

    // The toolbar `bar` (control `barId`, the buttons of toolbar resource `resourceId`) and the
    // status bar `status` with the message pane and the caps, num and scroll lock indicators,
    // made and placed; false when either could not be made.
    bool createBars(ToolBar& bar, UINT barId, UINT resourceId, StatusBar& status);
    // The title bar's and the task switcher's icons, from icon resource `iconId`; the frame
    // frees them when it goes.
    void setIcons(UINT iconId);

    // WM_CREATE: the client window (OnCreateClient). A derived frame calls this first, then
    // adds its bars.
    bool OnCreate(CREATESTRUCTA& create) override;
    // Makes the client window; true when none is needed.
    virtual bool OnCreateClient(CREATESTRUCTA&) { return true; }
    // WM_CLOSE: by default the window is destroyed.
    virtual void OnClose() { destroyWindow(); }

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;

  private:
    void showPrompt(UINT commandId);
    void showIdleMessage();

    ToolBar* toolBar_ = nullptr;
    StatusBar* statusBar_ = nullptr;
    HWND client_ = nullptr;
    std::string tipText_;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    static constexpr UINT_PTR kIndicatorTimer = 1;
};

// A frame the application holds through one pointer, so at most one is open. Closing it (the
// close box or a command calling OnClose) takes it out of that pointer; the object then ends its
// own life with its window.
class HeldFrame : public FrameWindow {
  protected:
    explicit HeldFrame(std::unique_ptr<WindowObject>* holder) : holder_(holder) {}

    void OnClose() override;
    void windowDetached() noexcept override;

  private:
    std::unique_ptr<WindowObject>* holder_;
    bool ownsItself_ = false;
};

// The `Frame` held by `holder` brought forward (restored when minimised) when it is open;
// otherwise a new one from `make()`, loaded with the menu and bars of `resourceId`, stored in
// `holder` and shown. Null when it could not be set up: `holder` is then left as it was, so the
// next call tries afresh.
template <class Frame, class Make>
Frame* showHeldFrame(std::unique_ptr<WindowObject>& holder, UINT resourceId, Make make) {
    if (holder && holder->hasWindow() && IsWindow(holder->hwnd())) {
        if (auto* open = dynamic_cast<Frame*>(holder.get())) {
            open->bringForward();
            return open;
        }
    }
    std::unique_ptr<Frame> frame = make();
    if (!frame->LoadFrame(resourceId, WS_OVERLAPPEDWINDOW, nullptr))
        return nullptr;
    Frame* shown = frame.get();
    holder = std::move(frame);
    shown->bringForward();
    return shown;
}

}  // namespace ui

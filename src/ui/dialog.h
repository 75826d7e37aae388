#pragma once
// Dialogs over raw Win32. DialogBase binds an object to a dialog window and turns its messages
// into a few virtual handlers; each window kind (Dialog here, property pages later) brings its own
// dialog procedure that binds the object at WM_INITDIALOG and hands every message to
// handleMessage(). The object forgets its window at WM_NCDESTROY; no exception leaves a handler.

#include <windows.h>

#include <string>

#include "ui/window_object.h"

namespace ui {

class DialogBase : public WindowObject {
  public:
    // A window still alive is destroyed with its object (without running derived handlers, which
    // are gone by now).
    ~DialogBase() override;

    // The dialog object bound to `window`, or null for any other window.
    static DialogBase* fromWindow(HWND window);

    // Keyboard navigation of this dialog (Tab, Enter, Escape, mnemonics) for a message loop;
    // true when the message was used.
    virtual bool preTranslateMessage(MSG& msg);

    HWND item(int id) const;
    std::string itemText(int id) const;
    void setItemText(int id, const std::string& text) const;
    bool isChecked(int id) const;
    void setChecked(int id, bool checked) const;
    bool isItemEnabled(int id) const;
    void enableItem(int id, bool enable) const;
    void showItem(int id, bool show) const;
    LRESULT sendItemMessage(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const;
    // The dialog's caption.
    std::string text() const;
    void setText(const std::string& text) const;

  protected:
    DialogBase() = default;

    // Handlers. Those returning bool return true when they handled the message; unhandled
    // messages get the default dialog processing.

    // WM_INITDIALOG; true lets the system give the focus to the first control.
    virtual bool OnInitDialog() { return true; }
    // WM_COMMAND. Unhandled clicks of IDOK and IDCANCEL (also Enter, Escape and the close box)
    // go on to OnOK and OnCancel.
    virtual bool OnCommand(int id, int code, HWND control);
    // WM_NOTIFY; `result` (0 unless set) is the notification's answer.
    virtual bool OnNotify(NMHDR& header, LRESULT& result);
    virtual void OnOK() { close(IDOK); }
    virtual void OnCancel() { close(IDCANCEL); }
    // Every other message; `result` (0 unless set) is the message's answer.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

    // How this kind of window ends, with `result` for whoever waits for it.
    virtual void close(int result) = 0;
    // A handler let an exception out. The window's state is unknown then, so by default it
    // ends with IDABORT.
    virtual void handlerFailed() noexcept;
    // Called once the object has let go of its window at WM_NCDESTROY; an object that owns
    // itself may delete itself here.
    virtual void windowDetached() noexcept {}

    // For the dialog procedure of each window kind.
    void bindWindow(HWND window);
    static DialogBase* boundObject(HWND window);
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp);

  private:
    INT_PTR dispatch(UINT msg, WPARAM wp, LPARAM lp);
    INT_PTR answer(UINT msg, LRESULT result);
    void unbindWindow();
};

// A dialog from a dialog template, run modally (DoModal: the owner is disabled and the call
// returns the result once the dialog ends) or modeless (Create: the window lives until it is
// destroyed, by close(), by the user, or by the object's destruction).
class Dialog : public DialogBase {
  public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    // An in-memory template; it must stay valid while a window is being created from it.
    explicit Dialog(const DLGTEMPLATE* dialogTemplate) : template_(dialogTemplate) {}

    // The value given to endDialog(); -1 when the dialog could not be created or was destroyed
    // without ending (also when a WM_QUIT arrived, which is posted again for the outer loop).
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the modeless dialog; false when it could not be created (or ended at once).
    bool Create(HWND owner = nullptr);

    bool isModal() const { return modal_; }
    // Modal: the DoModal loop ends and returns `result`. Modeless: the window is destroyed.
    void endDialog(int result);

  protected:
    void close(int result) override { endDialog(result); }

  private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    HWND createWindow(HWND owner);

    UINT templateId_ = 0;
    const DLGTEMPLATE* template_ = nullptr;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = -1;
};

// Gives a message to the dialog its window belongs to (see DialogBase::preTranslateMessage);
// every message loop that may hold modeless dialogs calls it before dispatching.
bool preTranslateMessage(MSG& msg);

}  // namespace ui

#pragma once
// Property sheets over the common controls. A PropertyPage is a DialogBase window kind with its
// own dialog procedure: the sheet's PSN_* notifications become OnSetActive, OnKillActive,
// OnApply and OnReset. A PropSheet runs PropertySheetA modeless and owns its window through a
// subclass installed while the sheet is being created, so that derived sheets see every message
// (WM_INITDIALOG after the standard initialisation included). DoModal runs its own loop over the
// modeless sheet, which keeps keyboard handling in our hands and works on any thread.

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "ui/dialog.h"

namespace ui {

class PropSheet;

class PropertyPage : public DialogBase {
  public:
    // `title` empty: the caption of the dialog template is the page's title.
    explicit PropertyPage(UINT templateId, std::string title = {});
    // An in-memory template; it must stay valid while the sheet is open.
    explicit PropertyPage(const DLGTEMPLATE* dialogTemplate, std::string title = {});

    const std::string& title() const { return title_; }
    // Before the page is added to a sheet. The icon stays owned by the caller and must live as
    // long as the sheet.
    void setTitle(std::string title) { title_ = std::move(title); }
    void setIcon(HICON icon) { icon_ = icon; }
    HICON icon() const { return icon_; }
    void setHelpButton(bool show) { help_ = show; }

    // The sheet window holding this page; null while the page has no window.
    HWND sheetWindow() const;
    // Marks the page changed (enables "Apply") or unchanged.
    void SetModified(bool modified = true);
    bool isModified() const { return modified_; }

    // The description the sheet creates the page from; valid while this object lives.
    PROPSHEETPAGEA description();

  protected:
    // PSN_SETACTIVE; false refuses the activation.
    virtual bool OnSetActive() { return true; }
    // PSN_KILLACTIVE; false keeps this page active.
    virtual bool OnKillActive() { return true; }
    // PSN_APPLY (OK and Apply); false keeps the sheet open on this page.
    virtual bool OnApply() { return true; }
    // PSN_RESET: the sheet is being cancelled.
    virtual void OnReset() {}
    // Notifications of the page's own controls (the sheet's go to the handlers above).
    virtual bool OnControlNotify(NMHDR& header, LRESULT& result);

    bool OnNotify(NMHDR& header, LRESULT& result) final;
    // Enter and Escape belong to the sheet.
    void OnOK() override {}
    void OnCancel() override {}
    // A page cannot end itself: it asks its sheet to cancel.
    void close(int result) override;

  private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);

    UINT templateId_ = 0;
    const DLGTEMPLATE* template_ = nullptr;
    std::string title_;
    HICON icon_ = nullptr;
    bool help_ = false;
    bool modified_ = false;
};

class PropSheet : public WindowObject {
  public:
    explicit PropSheet(std::string caption = {}, HWND parent = nullptr, UINT selectPage = 0);
    // A sheet window still alive is destroyed with its object.
    ~PropSheet() override;

    void setCaption(std::string caption) { caption_ = std::move(caption); }
    // Before the window exists.
    void setHelpButton(bool show) { help_ = show; }
    void setApplyButton(bool show) { apply_ = show; }

    // Pages are not owned and must outlive the sheet's window. Adding or removing while the sheet
    // is open updates it at once.
    bool AddPage(PropertyPage& page);
    bool RemovePage(int index);
    bool RemovePage(PropertyPage& page);
    int GetPageCount() const { return static_cast<int>(pages_.size()); }
    PropertyPage* GetPage(int index) const;
    int GetPageIndex(const PropertyPage& page) const;

    // The active page's index (the preselected one before the window exists); -1 when none.
    int GetActiveIndex() const;
    PropertyPage* GetActivePage() const;
    // Before the window exists this chooses the first page shown. False when the index is out of
    // range or the current page refused to be left.
    bool SetActivePage(int index);
    bool SetActivePage(const PropertyPage& page);

    // IDOK when the sheet was closed with OK, IDCANCEL when it was cancelled, -1 when it could
    // not be created (also when a WM_QUIT arrived; it is posted again for the outer loop).
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the modeless sheet; false when it could not be created. The window stays until the
    // object goes or destroyWindow(); isEnded() tells when OK or Cancel has closed the sheet.
    bool Create(HWND owner = nullptr);
    bool isEnded();
    // IDOK / IDCANCEL once ended (see DoModal), 0 before.
    INT_PTR result();
    void destroyWindow();

    // PSBTN_OK, PSBTN_APPLYNOW, PSBTN_CANCEL...
    void pressButton(int button) const;
    HWND tabControl() const;

    // The sheet's keyboard handling for a message loop; true when the message was used.
    bool preTranslateMessage(MSG& msg);
    // The sheet object owning `window` (or the sheet `window` belongs to), null for none.
    static PropSheet* fromWindow(HWND window);

  protected:
    // Just before the standard WM_INITDIALOG of the sheet (its controls exist, no page yet).
    virtual void OnPreInit() {}
    // After the standard initialisation (the first page is active).
    virtual void OnInitDialog() {}
    // Every message before the standard processing; true when handled, with `result`.
    virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // After a page was added or removed while the window exists.
    virtual void OnPagesChanged() {}
    // WM_DESTROY, while the children still exist.
    virtual void OnDestroy() {}
    // A page accepted its activation (PSN_SETACTIVE), before the sheet shows it.
    virtual void OnPageActivated(PropertyPage&) {}

    // The standard processing of a message.
    LRESULT defaultProc(UINT msg, WPARAM wp, LPARAM lp);

  private:
    friend class PropertyPage;
    void pageActivating(PropertyPage& page);
    // Notices that OK or Cancel has closed the sheet.
    void noteEnd();
    static LRESULT CALLBACK windowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK creationHook(int code, WPARAM wp, LPARAM lp);
    LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp);
    void attach(HWND window);
    void detach();
    HWND createWindow(HWND owner);

    std::string caption_;
    HWND parent_;
    UINT startPage_;
    bool help_ = false;
    bool apply_ = true;
    std::vector<PropertyPage*> pages_;
    WNDPROC previousProc_ = nullptr;
    bool ended_ = false;
    INT_PTR result_ = 0;
    bool checkingEnd_ = false;
};

}  // namespace ui

#pragma once
// The main window's progress window (IDD_DOWNLOAD_PROGRESS): modeless, owned by the main window,
// hidden between sessions and reused by each of them. Its buttons act on the main window's session.

#include <windows.h>

#include "ui/dialog.h"

namespace vx {

class MainWindowSession;

class CDownloadProgressDlg : public ui::Dialog {
  public:
    explicit CDownloadProgressDlg(MainWindowSession& session);

    // Places the window over the middle of `owner`.
    void centreOver(HWND owner) const;

  protected:
    bool OnCommand(int id, int code, HWND control) override;
    // "Cancel &All" (also Escape and the close box) and Enter: the window hides; it is never
    // destroyed before the main window.
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    MainWindowSession& session_;
};

}  // namespace vx

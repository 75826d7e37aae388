#pragma once
// The download history window: a frame with the "&File" menu, a one-button toolbar ("&Clear
// Download History") and a status bar, around a splitter with the tree of days and pages on the
// left and the list of days, pages or files on the right.

#include <windows.h>

#include <memory>

#include "history/win/history_detail_view.h"
#include "history/win/history_splitter_wnd.h"
#include "history/win/history_tree_view.h"
#include "ui/control_bars.h"
#include "ui/frame_window.h"

namespace vx {

class FileSystem;
class InstallEnvironment;

class CHistoryFrame : public ui::HeldFrame {
  public:
    // `framePointer` is the application's pointer to the open history window: the frame takes
    // itself out of it when it closes and then ends its own life with its window. The history
    // is read from the install folder's "History" through `files`.
    explicit CHistoryFrame(std::unique_ptr<ui::WindowObject>* framePointer,
                           InstallEnvironment& environment, FileSystem& files);
    ~CHistoryFrame() override;

    CHistorySplitterWnd& splitter() { return splitter_; }
    CHistoryTreeView& treeView() { return treeView_; }
    CHistoryDetailView& detailView() { return detailView_; }
    ui::ToolBar& bar() { return toolBar_; }
    ui::StatusBar& status() { return statusBar_; }

    // "&Clear Download History": deletes the day files, says so, and shows the empty history.
    void clearHistory();

  protected:
    bool OnCreate(CREATESTRUCTA& create) override;
    bool OnCreateClient(CREATESTRUCTA& create) override;
    bool OnCommand(int id, int code, HWND control) override;

  private:
    InstallEnvironment& environment_;
    FileSystem& files_;
    ui::ToolBar toolBar_;
    ui::StatusBar statusBar_;
    CHistorySplitterWnd splitter_;
    CHistoryTreeView treeView_;
    CHistoryDetailView detailView_;
};

// "View &History": the history window held by `framePointer` is brought forward (restored when
// minimised) when it is open; otherwise a new one is made, stored there and shown. The window,
// or null when it could not be created.
CHistoryFrame* showHistoryFrame(std::unique_ptr<ui::WindowObject>& framePointer);
CHistoryFrame* showHistoryFrame(std::unique_ptr<ui::WindowObject>& framePointer,
                                InstallEnvironment& environment, FileSystem& files);

}  // namespace vx

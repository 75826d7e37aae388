#pragma once
// The right pane of the history window: a report list of the days (level 0), the pages of one
// day (level 1) or the files saved from one page (level 2). It reads the history from the tree
// view in the splitter's first pane.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/view.h"

namespace vx {

class CHistoryTreeView;
class FileSystem;

class CHistoryDetailView : public ui::View {
  public:
    explicit CHistoryDetailView(FileSystem& files);
    ~CHistoryDetailView() override;

    // WM_HISTORY_SHOWLEVEL: fills the list for `level` from the tree view's history and its
    // selected text; -1 when there is no tree view.
    LRESULT ShowLevel(int level);
    // The single "Download History" column, or the four file columns; the rows go.
    void resetColumns(bool fileColumns);

    int level() const { return level_; }
    HWND list() const;
    CHistoryTreeView* treeView() const { return treeView_; }

  protected:
    bool OnCreate(CREATESTRUCTA& create) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    void addRow(const std::string& text, int image);
    void openSelectedRow();

    FileSystem& files_;
    HIMAGELIST images_ = nullptr;
    CHistoryTreeView* treeView_ = nullptr;
    int level_ = 0;
};

}  // namespace vx

#pragma once
// The left pane of the history window: a caption band over a tree of days and their pages. The
// view owns the history store the whole window shows.

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "history/history_store.h"
#include "history/history_view.h"
#include "ui/view.h"

namespace vx {

class CHistoryTreeView : public ui::View {
  public:
    static constexpr int kCaptionHeight = 22;

    CHistoryTreeView(InstallEnvironment& environment, FileSystem& files);
    ~CHistoryTreeView() override;

    // Reloads the store from the day files and refills the tree: the root, each day title with
    // the pages recorded on that day, all expanded.
    void Rebuild();

    CHistoryStore& store() { return store_; }
    // The days and pages of the store as last loaded.
    const HistoryView& history() const { return history_; }
    HWND tree() const;

    // The text of the item last chosen, in the tree or by a double-click in the list.
    std::string selectedText;

  protected:
    bool OnCreate(CREATESTRUCTA& create) override;
    bool OnNotify(NMHDR& header, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    void OnDraw(HDC dc) override;

  private:
    HTREEITEM insertItem(HWND control, HTREEITEM parent, const std::string& text, int image,
                         LPARAM level);
    void selectionChanged(HTREEITEM item);

    CHistoryStore store_;
    HistoryView history_;
    // The tree control, a child of this view: looking it up by identifier asks Wine's server
    // each time, which a fill of 200,000 items cannot afford.
    HWND tree_ = nullptr;
    HIMAGELIST images_ = nullptr;
    std::string caption_;
    bool rebuilding_ = false;
};

}  // namespace vx

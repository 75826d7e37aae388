#pragma once
// A static splitter: a fixed grid of panes (child windows) separated by bars the user can drag.
// Each pane is a child window whose identifier tells its place (first pane identifier + 16 * row
// + column). The sizes of bars, gaps and borders and the drawing of each part are virtual, so a
// derived splitter can change its look.

#include <windows.h>

#include <vector>

#include "ui/view.h"

namespace ui {

class SplitterWindow : public Window {
  public:
    static constexpr UINT kFirstPaneId = 59648;

    enum class SplitType { Box, Bar, Intersection, Border };

    // Creates the splitter as child `id` of `parent`, with `rows` by `columns` panes to be
    // filled by CreateView.
    bool CreateStatic(HWND parent, int rows, int columns, DWORD style = WS_CHILD | WS_VISIBLE,
                      UINT id = kFirstPaneId);
    // Creates `view` as the pane at (row, column); `size` is the pane's ideal width and height
    // (the last column and row take whatever space is left).
    bool CreateView(int row, int column, View& view, SIZE size);

    int rowCount() const { return static_cast<int>(rows_.size()); }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    // The pane window at (row, column), or null when there is none.
    HWND GetPane(int row, int column) const;
    // The view object of that pane, or null.
    View* paneView(int row, int column) const;
    static UINT IdFromRowCol(int row, int column) { return kFirstPaneId + 16 * row + column; }

    // The pane's ideal size and current size in its direction.
    void SetColumnInfo(int column, int ideal);
    void SetRowInfo(int row, int ideal);
    int columnWidth(int column) const;
    int rowHeight(int row) const;

    // Places every pane by the ideal sizes, the bar sizes and the borders, and redraws.
    virtual void RecalcLayout();

  protected:
    // The space of a bar between two panes, and of the gap that holds it.
    int cxSplitter_ = 7;
    int cySplitter_ = 7;
    int cxSplitterGap_ = 7;
    int cySplitterGap_ = 7;
    // The border drawn around each pane, and how much of it neighbouring panes share.
    int cxBorder_ = 2;
    int cyBorder_ = 2;
    int cxBorderShare_ = 1;
    int cyBorderShare_ = 1;

    // Draws one part: a bar, or the border around the pane whose rectangle is `rect`.
    virtual void OnDrawSplitter(HDC dc, SplitType type, const RECT& rect);
    // The rectangle of pane (row, column) inside the splitter, before any enlarging.
    RECT cellRect(int row, int column) const;
    // Where pane (row, column) goes: its cell, enlarged over the border for panes that draw an
    // edge of their own.
    virtual RECT paneRect(int row, int column) const;

    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    struct Track {
        int ideal = 0;
        int current = 0;
    };
    static void layoutTracks(std::vector<Track>& tracks, int space, int gap);
    void paint(HDC dc);
    // The column bar (or row bar) under a client point: the index of the pane before it, or -1.
    int columnBarAt(int x) const;
    int rowBarAt(int y) const;

    std::vector<Track> rows_;
    std::vector<Track> columns_;
    std::vector<View*> views_;
    int dragColumn_ = -1;
    int dragRow_ = -1;
    int dragOffset_ = 0;
};

}  // namespace ui

#pragma once
// The bars of a frame window: a toolbar built from a toolbar resource (its bitmap strip of the
// same identifier, one button per command, 0 for a separator) and a status bar with a message
// pane and the lock-key indicators.

#include <windows.h>

#include <string>
#include <vector>

namespace ui {

// The prompt and the tool tip of a command: its string-table text "prompt\ntip". A text without
// a line break is the prompt only.
struct CommandTexts {
    std::string prompt;
    std::string tip;
};
CommandTexts commandTexts(UINT commandId);

class ToolBar {
  public:
    ToolBar() = default;
    ToolBar(const ToolBar&) = delete;
    ToolBar& operator=(const ToolBar&) = delete;

    // A toolbar child of `parent` at the parent's top, with tool tips; the window is destroyed
    // with its parent.
    bool create(HWND parent, UINT id, DWORD style = WS_CHILD | WS_VISIBLE);
    // The buttons and images of toolbar resource `resourceId` and the bitmap of that identifier;
    // false when either is missing or malformed.
    bool loadToolBar(UINT resourceId);

    HWND hwnd() const { return hwnd_; }
    // The commands of the buttons in order, 0 for a separator.
    const std::vector<UINT>& commands() const { return commands_; }
    // Height the bar takes at the top of its parent.
    int height() const;
    // Lays the bar out along the parent's top edge.
    void layout() const;

  private:
    HWND hwnd_ = nullptr;
    std::vector<UINT> commands_;
};

class StatusBar {
  public:
    // The indicator panes a status bar knows; 0 stands for the message pane.
    static constexpr UINT kMessagePane = 0;
    static constexpr UINT kCapsLock = 59137;
    static constexpr UINT kNumLock = 59138;
    static constexpr UINT kScrollLock = 59139;

    StatusBar() = default;
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    // A status bar child of `parent` at its bottom, with a size grip when the parent can be sized.
    bool create(HWND parent, UINT id, DWORD style = WS_CHILD | WS_VISIBLE);
    // The panes in order: the message pane (0, which takes the free width) and indicators whose
    // texts are their string-table entries, shown while their key is on.
    bool setIndicators(const std::vector<UINT>& indicators);

    HWND hwnd() const { return hwnd_; }
    int height() const;
    void layout();
    // The message pane's text (the first message pane).
    void setMessage(const std::string& text);
    std::string message() const;
    // The text pane `index` shows now.
    std::string paneText(int index) const;
    // Shows or clears each lock indicator by its key's state; only changed panes are redrawn.
    void refreshIndicators();

  private:
    HWND hwnd_ = nullptr;
    std::vector<UINT> indicators_;
    std::vector<int> shown_;  // per pane: -1 unknown, 0 off, 1 on
};

}  // namespace ui

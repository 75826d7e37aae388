#pragma once
// Plays the user from outside a window's thread, as the demo driver and the window tests do:
// reads and presses controls of any process without hanging on one that does not answer,
// answers message boxes, and saves what the screen shows as PNG files.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace robot {

// Generous: the machine it runs on may be loaded.
inline constexpr std::chrono::milliseconds kDeadline{30000};

// Sleeps in short steps until `done` returns true or the deadline has passed; returns the last
// value of `done`. Serves no messages: for a thread that owns no windows.
bool poll(const std::function<bool()>& done, std::chrono::milliseconds deadline = kDeadline);
// The window's text, empty when it does not answer within five seconds.
std::string textOf(HWND window);
std::string className(HWND window);
// Posts a click of button `id` of `dialog`, as the mouse would give it.
void press(HWND dialog, int id);
// The first child (at any depth) of `parent` that `matches`, or null.
HWND firstChild(HWND parent, const std::function<bool(HWND)>& matches);
// The first visible child (at any depth) of `parent` whose window class is `className`, or null.
HWND visibleChildOfClass(HWND parent, const std::string& className);
// A visible message box owned by `owner`, or null.
HWND boxOwnedBy(HWND owner);
// A visible dialog of process `pid` that has a child with id `childId`, or null.
HWND dialogOfProcessWith(DWORD pid, int childId);

struct CaughtBox {
    DWORD processId = 0;
    std::string caption;
    std::string text;
    UINT iconStyle = 0;  // MB_ICONINFORMATION and the like, read from the box's icon, 0 if none
    std::vector<int> buttons;
    int answer = 0;  // the button this catcher pressed
};

// Watches for message boxes (dialog class #32770 with the static text 0xFFFF and nothing but
// static controls and buttons) of one process, records caption and text, and presses an answer.
// It runs on its own thread, so it catches boxes of any thread, also while the thread that made
// it sits in a message box's modal loop.
class MessageBoxCatcher {
  public:
    // Watches no process until watchProcess() names one.
    static constexpr DWORD kNoProcess = 0xFFFFFFFF;

    // `processId` 0 means this process. Each box gets the next answer from `answers`, the last
    // one repeating; when a box lacks that button, its IDCANCEL, IDNO or IDOK is pressed.
    explicit MessageBoxCatcher(std::vector<int> answers = {IDOK}, DWORD processId = 0);
    ~MessageBoxCatcher();
    MessageBoxCatcher(const MessageBoxCatcher&) = delete;
    MessageBoxCatcher& operator=(const MessageBoxCatcher&) = delete;

    void watchProcess(DWORD processId);
    std::vector<CaughtBox> boxes() const;
    size_t count() const;

  private:
    void watch();
    void inspect(HWND window);

    std::vector<int> answers_;
    std::atomic<DWORD> processId_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<CaughtBox> boxes_;
    std::set<HWND> seen_;
    std::thread thread_;
};

// Lets the window's thread handle what was sent before, then repaint, a few times over.
void settle(HWND window);
// Saves what the screen shows in `rect` (or of the window) as a PNG; false when it could not.
bool capture(const RECT& rect, const std::string& path);
bool capture(HWND window, const std::string& path);

}  // namespace robot

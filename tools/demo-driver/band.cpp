// The user on a toolbar band of the stand-in browser: the band's button clicked as the mouse
// does, its menu walked with the arrow keys, the chosen item taken with Enter.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "driver.h"
#include "robot.h"

namespace driver {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kFrameClassName[] = "StandinBrowserFrame";
constexpr char kToolbarClassName[] = "WEBTOOLBAR";

HWND findFrame(const std::string& caption) {
    HWND window = FindWindowA(kFrameClassName, caption.c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

// The open pop-up menu of the thread that runs `frame`.
HWND findMenu(HWND frame) {
    const DWORD thread = GetWindowThreadProcessId(frame, nullptr);
    HWND menu = nullptr;
    while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr) {
        if (IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == thread)
            return menu;
    }
    return nullptr;
}

void key(HWND window, WPARAM code) {
    PostMessageA(window, WM_KEYDOWN, code, 1);
    PostMessageA(window, WM_KEYUP, code, 0xC0000001);
}

}  // namespace

int playBand(const BandPlay& play) {
    const auto deadline = Clock::now() + std::chrono::seconds(play.timeoutSeconds);
    HWND frame = waitForWindow(deadline, [&] { return findFrame(play.caption); });
    HWND toolbar =
        frame ? waitForWindow(deadline,
                              [&] { return robot::visibleChildOfClass(frame, kToolbarClassName); })
              : nullptr;
    if (!toolbar) {
        std::fprintf(stderr, "demo-driver: no browser window \"%s\" with a band within %d s\n",
                     play.caption.c_str(), play.timeoutSeconds);
        return 3;
    }
    // In front of the other browser windows, as a user's click on it would bring it.
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(frame);
    robot::settle(frame);

    // The band's only button starts at the toolbar's left edge.
    RECT bar{};
    GetClientRect(toolbar, &bar);
    const LPARAM at = MAKELPARAM(12, bar.bottom / 2);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, at);
    HWND menu = waitForWindow(deadline, [&] { return findMenu(frame); });
    if (!menu) {
        std::fprintf(stderr, "demo-driver: the band's menu did not open\n");
        return 5;
    }
    for (int i = 0; i < play.downs; ++i)
        key(menu, VK_DOWN);
    robot::settle(menu);

    if (!play.shot.empty()) {
        RECT window{}, open{}, both{};
        GetWindowRect(frame, &window);
        GetWindowRect(menu, &open);
        UnionRect(&both, &window, &open);
        if (!robot::capture(both, play.shot)) {
            std::fprintf(stderr, "demo-driver: could not save %s\n", play.shot.c_str());
            key(menu, VK_ESCAPE);
            return 4;
        }
        std::printf("demo-driver: saved a picture of \"%s\" with the band's menu as %s\n",
                    play.caption.c_str(), play.shot.c_str());
    }
    key(menu, VK_RETURN);
    while (IsWindow(menu) && IsWindowVisible(menu)) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "demo-driver: the menu stayed open\n");
            return 6;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("demo-driver: chose item %d of the band's menu in \"%s\"\n", play.downs,
                play.caption.c_str());
    return 0;
}

int closeBrowsers() {
    // Gathered first: a window that closes at once could not lead the search to the next.
    std::vector<HWND> frames;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            if (robot::className(window) == kFrameClassName)
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&frames));
    for (HWND frame : frames)
        PostMessageA(frame, WM_CLOSE, 0, 0);
    std::printf("demo-driver: asked %zu browser window(s) to close\n", frames.size());
    return 0;
}

}  // namespace driver

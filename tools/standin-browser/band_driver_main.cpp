// Plays the user on a toolbar band of the stand-in browser where nobody sits at the screen:
//
//   standin-browser-driver --window CAPTION --choose all|current|run|home [--shot FILE.png]
//                          [--timeout SECONDS]
//   standin-browser-driver --close
//
// Waits for the browser window with that caption and for the band's toolbar in it, clicks the
// band's button as the mouse does, waits for the menu, moves to the chosen item with the arrow
// keys, saves a picture of the window with its open menu when asked, and presses Enter. --close
// asks every stand-in browser window to close. Exit code 0 when all of it happened, 2 for a usage
// error, 3 when the window or its band did not appear in time, 4 when the picture could not be
// saved, 5 when no menu opened, 6 when the menu stayed open.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "png_file.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kFrameClassName[] = "StandinBrowserFrame";
constexpr char kToolbarClassName[] = "WEBTOOLBAR";

struct Options {
    std::string caption;
    int downs = 0;  // arrow-key steps to the chosen item
    std::string shot;
    int timeoutSeconds = 120;
    bool close = false;
};

bool waitFor(const Clock::time_point deadline, HWND& found, HWND (*probe)(const void*),
             const void* context) {
    while (!(found = probe(context))) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

HWND findFrame(const void* caption) {
    HWND window = FindWindowA(kFrameClassName, static_cast<const std::string*>(caption)->c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND findToolbar(const void* frame) {
    HWND found = nullptr;
    EnumChildWindows(
        static_cast<HWND>(const_cast<void*>(frame)),
        [](HWND child, LPARAM param) -> BOOL {
            char name[64] = {};
            GetClassNameA(child, name, sizeof name);
            if (std::string(name) == kToolbarClassName && IsWindowVisible(child)) {
                *reinterpret_cast<HWND*>(param) = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The open pop-up menu of the thread that runs `frame`.
HWND findMenu(const void* frame) {
    const DWORD thread =
        GetWindowThreadProcessId(static_cast<HWND>(const_cast<void*>(frame)), nullptr);
    HWND menu = nullptr;
    while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) != nullptr) {
        if (IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == thread)
            return menu;
    }
    return nullptr;
}

// Lets the window's thread handle what was posted before and paint.
void settle(HWND window) {
    DWORD_PTR ignored = 0;
    for (int i = 0; i < 3; ++i) {
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

bool capture(const RECT& rect, const std::string& path) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top,
                    SRCCOPY | CAPTUREBLT) != 0;
        SelectObject(memory, old);
        ok = ok && demo::savePng(bitmap, path);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

void key(HWND window, WPARAM code) {
    PostMessageA(window, WM_KEYDOWN, code, 1);
    PostMessageA(window, WM_KEYUP, code, 0xC0000001);
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--close") {
            options.close = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--window") {
            options.caption = value;
        } else if (arg == "--choose") {
            // The menu's order: all pages, current page, run, a separator, home page.
            if (value == "all")
                options.downs = 1;
            else if (value == "current")
                options.downs = 2;
            else if (value == "run")
                options.downs = 3;
            else if (value == "home")
                options.downs = 4;
            else
                return false;
        } else if (arg == "--shot") {
            options.shot = value;
        } else if (arg == "--timeout") {
            options.timeoutSeconds = std::atoi(value.c_str());
        } else {
            return false;
        }
    }
    return options.close ||
           (!options.caption.empty() && options.downs > 0 && options.timeoutSeconds > 0);
}

int closeAll() {
    // Gathered first: a window that closes at once could not lead the search to the next.
    std::vector<HWND> frames;
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (std::string(name) == kFrameClassName)
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&frames));
    for (HWND frame : frames)
        PostMessageA(frame, WM_CLOSE, 0, 0);
    std::printf("standin-browser-driver: asked %zu browser window(s) to close\n", frames.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: standin-browser-driver --window CAPTION --choose all|current|run|home "
                     "[--shot FILE.png] [--timeout SECONDS]\n"
                     "       standin-browser-driver --close\n");
        return 2;
    }
    if (options.close)
        return closeAll();

    const auto deadline = Clock::now() + std::chrono::seconds(options.timeoutSeconds);
    HWND frame = nullptr;
    HWND toolbar = nullptr;
    if (!waitFor(deadline, frame, findFrame, &options.caption) ||
        !waitFor(deadline, toolbar, findToolbar, frame)) {
        std::fprintf(stderr,
                     "standin-browser-driver: no browser window \"%s\" with a band within %d s\n",
                     options.caption.c_str(), options.timeoutSeconds);
        return 3;
    }
    // In front of the other browser windows, as a user's click on it would bring it.
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(frame);
    settle(frame);

    // The band's only button starts at the toolbar's left edge.
    RECT bar{};
    GetClientRect(toolbar, &bar);
    const LPARAM at = MAKELPARAM(12, bar.bottom / 2);
    PostMessageA(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(toolbar, WM_LBUTTONUP, 0, at);
    HWND menu = nullptr;
    if (!waitFor(deadline, menu, findMenu, frame)) {
        std::fprintf(stderr, "standin-browser-driver: the band's menu did not open\n");
        return 5;
    }
    for (int i = 0; i < options.downs; ++i)
        key(menu, VK_DOWN);
    settle(menu);

    if (!options.shot.empty()) {
        RECT window{}, open{}, both{};
        GetWindowRect(frame, &window);
        GetWindowRect(menu, &open);
        UnionRect(&both, &window, &open);
        if (!capture(both, options.shot)) {
            std::fprintf(stderr, "standin-browser-driver: could not save %s\n",
                         options.shot.c_str());
            key(menu, VK_ESCAPE);
            return 4;
        }
        std::printf(
            "standin-browser-driver: saved a picture of \"%s\" with the band's menu as %s\n",
            options.caption.c_str(), options.shot.c_str());
    }
    key(menu, VK_RETURN);
    while (IsWindow(menu) && IsWindowVisible(menu)) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "standin-browser-driver: the menu stayed open\n");
            return 6;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::printf("standin-browser-driver: chose item %d of the band's menu in \"%s\"\n",
                options.downs, options.caption.c_str());
    return 0;
}

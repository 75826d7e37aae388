// Plays the user's part where nobody sits at the screen:
//
//   demo-driver --caption TEXT [--shot FILE.png] [--press ID [--keep]] [--timeout SECONDS]
//
// Waits until a visible top-level window with exactly that caption exists, lets it finish
// painting, saves what the screen shows of it as a PNG, then presses its button ID (a click
// message, as the mouse would give) and waits until the window is gone (with --keep, until the
// press has been handled). Exit code 0 when all of it
// happened, 3 when the window did not appear in time, 4 when the picture could not be saved, 5
// when the window stayed after the press.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "png_file.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string caption;
    std::string shot;
    int press = 0;
    int timeoutSeconds = 120;
    bool keep = false;  // the pressed button does not close the window
};

HWND findWindow(const std::string& caption) {
    HWND window = FindWindowA(nullptr, caption.c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

// Waits until the window's thread has handled everything sent before, then until the painting
// it queued is done.
void settle(HWND window) {
    DWORD_PTR ignored = 0;
    for (int i = 0; i < 3; ++i) {
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
}

bool capture(HWND window, const std::string& path) {
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return false;
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
        // The bitmap is read while selected into no device context.
        SelectObject(memory, old);
        ok = ok && demo::savePng(bitmap, path);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep") {
            options.keep = true;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        if (arg == "--caption") {
            options.caption = value;
        } else if (arg == "--shot") {
            options.shot = value;
        } else if (arg == "--press") {
            options.press = std::atoi(value.c_str());
        } else if (arg == "--timeout") {
            options.timeoutSeconds = std::atoi(value.c_str());
        } else {
            return false;
        }
    }
    return !options.caption.empty() && options.timeoutSeconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: demo-driver --caption TEXT [--shot FILE.png] [--press ID [--keep]] "
                     "[--timeout SECONDS]\n");
        return 2;
    }
    const auto deadline = Clock::now() + std::chrono::seconds(options.timeoutSeconds);
    HWND window = nullptr;
    while (!(window = findWindow(options.caption))) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "demo-driver: no window \"%s\" within %d s\n",
                         options.caption.c_str(), options.timeoutSeconds);
            return 3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    settle(window);
    if (!options.shot.empty()) {
        if (!capture(window, options.shot)) {
            std::fprintf(stderr, "demo-driver: could not save %s\n", options.shot.c_str());
            return 4;
        }
        std::printf("demo-driver: saved a picture of \"%s\" as %s\n", options.caption.c_str(),
                    options.shot.c_str());
    }
    if (options.press != 0) {
        HWND button = GetDlgItem(window, options.press);
        const WPARAM click = MAKEWPARAM(options.press, BN_CLICKED);
        if (options.keep) {
            // Returns once the press has been handled (or a box it opened waits for the user).
            DWORD_PTR ignored = 0;
            SendMessageTimeoutA(window, WM_COMMAND, click, reinterpret_cast<LPARAM>(button),
                                SMTO_BLOCK, 10000, &ignored);
        } else {
            PostMessageA(window, WM_COMMAND, click, reinterpret_cast<LPARAM>(button));
        }
        while (!options.keep && IsWindow(window)) {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "demo-driver: \"%s\" stayed open after button %d\n",
                             options.caption.c_str(), options.press);
                return 5;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    std::fflush(stdout);
    return 0;
}

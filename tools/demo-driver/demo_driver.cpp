// The one program that plays the user where nobody sits at the screen, for the demo, the
// whole-program tests and the benchmarks:
//
//   demo-driver --caption TEXT [--tree-item N] [--shot FILE.png] [--press ID [--keep]]
//               [--timeout SECONDS]
//       Waits until a visible top-level window with exactly that caption exists, selects the Nth
//       visible item (from 0) of its tree control, lets it finish painting, saves what the screen
//       shows of it as a PNG, then presses its button ID (a click message, as the mouse would
//       give) and waits until the window is gone (with --keep, only until the press has been
//       handled: the button opens another window).
//       Exit code 3 when the window did not appear in time, 4 when the picture could not be
//       saved, 5 when the window stayed after the press, 6 when it has no such tree item.
//   demo-driver --band CAPTION --choose all|current|run|home [--shot FILE.png] [--timeout SECONDS]
//       Waits for the stand-in browser window with that caption and the band's toolbar in it,
//       clicks the band's button, moves to the chosen item of its menu with the arrow keys, saves
//       a picture of the window with its open menu when asked, and presses Enter. Exit code 3
//       when the window or its band did not appear in time, 4 when the picture could not be
//       saved, 5 when no menu opened, 6 when the menu stayed open.
//   demo-driver --close-browsers
//       Asks every stand-in browser window to close.
//   demo-driver --harvest COMMAND --report FILE [--caption TEXT] [--sessions N] [--poll-ms MS]
//       Starts COMMAND and waits until its progress window reads TEXT (default "Download
//       complete!") with "OK", which it presses; every message box is answered and reported.
//       With --sessions N the program is the window list: "&Download Now" starts N sessions,
//       then its close box is pressed. FILE gets what was seen, a "key=value" line each. Exit
//       code 1 when the run did not go that way.
//
// Exit code 0 when all of it happened, 2 for a usage error.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "driver.h"
#include "robot.h"

namespace driver {

namespace {

using Clock = std::chrono::steady_clock;

HWND findWindow(const std::string& caption) {
    HWND window = FindWindowA(nullptr, caption.c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
}

// Selects the tree's item at `place` among its visible items, as a click on it would.
bool selectTreeItem(HWND window, int place) {
    HWND tree = robot::visibleChildOfClass(window, WC_TREEVIEWA);
    if (!tree)
        return false;
    // Item handles are only passed back to the tree, so they can cross the process boundary.
    LRESULT item = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0);
    for (int i = 0; i < place && item; ++i)
        item = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, item);
    return item && SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, item);
}

}  // namespace

int playWindow(const WindowPlay& play) {
    const auto deadline = Clock::now() + std::chrono::seconds(play.timeoutSeconds);
    HWND window = waitForWindow(deadline, [&] { return findWindow(play.caption); });
    if (!window) {
        std::fprintf(stderr, "demo-driver: no window \"%s\" within %d s\n", play.caption.c_str(),
                     play.timeoutSeconds);
        return 3;
    }
    if (play.treeItem >= 0 && !selectTreeItem(window, play.treeItem)) {
        std::fprintf(stderr, "demo-driver: \"%s\" has no tree item %d\n", play.caption.c_str(),
                     play.treeItem);
        return 6;
    }
    robot::settle(window);
    if (!play.shot.empty()) {
        if (!robot::capture(window, play.shot)) {
            std::fprintf(stderr, "demo-driver: could not save %s\n", play.shot.c_str());
            return 4;
        }
        std::printf("demo-driver: saved a picture of \"%s\" as %s\n", play.caption.c_str(),
                    play.shot.c_str());
    }
    if (play.press != 0) {
        HWND button = GetDlgItem(window, play.press);
        const WPARAM click = MAKEWPARAM(play.press, BN_CLICKED);
        PostMessageA(window, WM_COMMAND, click, reinterpret_cast<LPARAM>(button));
        // A window the button opens (a modal one too) keeps serving sent messages.
        if (play.keep)
            robot::settle(window);
        while (!play.keep && IsWindow(window)) {
            if (Clock::now() > deadline) {
                std::fprintf(stderr, "demo-driver: \"%s\" stayed open after button %d\n",
                             play.caption.c_str(), play.press);
                return 5;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    return 0;
}

}  // namespace driver

namespace {

enum class Mode { None, Window, Band, CloseBrowsers, Harvest };

struct Options {
    Mode mode = Mode::None;
    driver::WindowPlay window;
    driver::BandPlay band;
    driver::HarvestPlay harvest;
};

// The band menu's order: all pages, current page, run, a separator, home page.
int downsTo(const std::string& item) {
    if (item == "all")
        return 1;
    if (item == "current")
        return 2;
    if (item == "run")
        return 3;
    if (item == "home")
        return 4;
    return 0;
}

bool setMode(Options& options, Mode mode) {
    if (options.mode != Mode::None && options.mode != mode)
        return false;
    options.mode = mode;
    return true;
}

bool parseOptions(int argc, char** argv, Options& options) {
    std::string caption, shot;
    int timeout = 120;
    bool captionGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep") {
            options.window.keep = true;
            continue;
        }
        if (arg == "--close-browsers") {
            if (!setMode(options, Mode::CloseBrowsers))
                return false;
            continue;
        }
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        bool ok = true;
        if (arg == "--caption") {
            caption = value;
            captionGiven = true;
        } else if (arg == "--shot") {
            shot = value;
        } else if (arg == "--timeout") {
            timeout = std::atoi(value.c_str());
        } else if (arg == "--press") {
            options.window.press = std::atoi(value.c_str());
        } else if (arg == "--tree-item") {
            options.window.treeItem = std::atoi(value.c_str());
        } else if (arg == "--band") {
            ok = setMode(options, Mode::Band);
            options.band.caption = value;
        } else if (arg == "--choose") {
            options.band.downs = downsTo(value);
            ok = options.band.downs > 0;
        } else if (arg == "--harvest") {
            ok = setMode(options, Mode::Harvest);
            options.harvest.command = value;
        } else if (arg == "--report") {
            options.harvest.report = value;
        } else if (arg == "--sessions") {
            options.harvest.sessions = std::atoi(value.c_str());
            ok = options.harvest.sessions > 0;
        } else if (arg == "--poll-ms") {
            const int ms = std::atoi(value.c_str());
            ok = ms > 0;
            options.harvest.pollMs = static_cast<unsigned>(ms);
        } else {
            ok = false;
        }
        if (!ok)
            return false;
    }
    if (options.mode == Mode::None && captionGiven)
        options.mode = Mode::Window;
    switch (options.mode) {
        case Mode::Window:
            options.window.caption = caption;
            options.window.shot = shot;
            options.window.timeoutSeconds = timeout;
            return !caption.empty() && timeout > 0;
        case Mode::Band:
            options.band.shot = shot;
            options.band.timeoutSeconds = timeout;
            return !options.band.caption.empty() && options.band.downs > 0 && timeout > 0;
        case Mode::Harvest:
            if (captionGiven)
                options.harvest.caption = caption;
            return !options.harvest.command.empty() && !options.harvest.report.empty() &&
                   !options.harvest.caption.empty();
        case Mode::CloseBrowsers:
            return true;
        case Mode::None:
            break;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: demo-driver --caption TEXT [--tree-item N] [--shot FILE.png] [--press ID "
            "[--keep]] [--timeout SECONDS]\n"
            "       demo-driver --band CAPTION --choose all|current|run|home [--shot FILE.png] "
            "[--timeout SECONDS]\n"
            "       demo-driver --close-browsers\n"
            "       demo-driver --harvest COMMAND --report FILE [--caption TEXT] [--sessions N] "
            "[--poll-ms MS]\n");
        return 2;
    }
    int code = 0;
    switch (options.mode) {
        case Mode::Window:
            code = driver::playWindow(options.window);
            break;
        case Mode::Band:
            code = driver::playBand(options.band);
            break;
        case Mode::CloseBrowsers:
            code = driver::closeBrowsers();
            break;
        case Mode::Harvest:
            code = driver::playHarvest(options.harvest);
            break;
        case Mode::None:
            break;
    }
    std::fflush(stdout);
    return code;
}

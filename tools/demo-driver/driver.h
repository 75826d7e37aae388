#pragma once
// The parts of the demo driver, each playing the user on one kind of window. Each returns the
// driver's exit code and says on stderr what went wrong.

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace driver {

// Calls `probe` every 100 ms until it finds a window or `deadline` has passed (then null).
template <typename Probe>
HWND waitForWindow(std::chrono::steady_clock::time_point deadline, Probe probe) {
    HWND found = nullptr;
    while (!(found = probe())) {
        if (std::chrono::steady_clock::now() > deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return found;
}

// A window by its caption: optionally the Nth item of its tree selected, a picture, a button.
struct WindowPlay {
    std::string caption;
    int treeItem = -1;  // the item's place among the tree's visible items, from 0
    std::string shot;
    int press = 0;
    bool keep = false;  // the pressed button does not close the window
    int timeoutSeconds = 120;
};
int playWindow(const WindowPlay& play);

// The toolbar band in a stand-in browser window: its menu opened, an item chosen.
struct BandPlay {
    std::string caption;  // of the browser window
    int downs = 0;        // arrow-key steps to the chosen item
    std::string shot;
    int timeoutSeconds = 120;
};
int playBand(const BandPlay& play);
// Asks every stand-in browser window to close.
int closeBrowsers();

// A whole program run: started, its progress window waited for until it reads `caption` with
// "OK", which is pressed; with `sessions` > 0 the program is the window list, whose
// "&Download Now" starts that many sessions before its close box is pressed. What was seen goes
// to `report`, a "key=value" line each.
struct HarvestPlay {
    std::string command;
    std::string report;
    std::string caption = "Download complete!";
    int sessions = 0;
    unsigned pollMs = 10;
};
int playHarvest(const HarvestPlay& play);

}  // namespace driver

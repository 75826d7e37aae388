// The stand-in browser: shows each page of standin-windows.xml (the file beside the program, or
// the one named on the command line) in a window of its own, with the registered toolbar bands
// loaded into each window's toolbar strip. Ends when the last window is closed.
//
//   standin-browser [--right] [FIXTURE.xml]
//
// --right places the windows at the right edge of the screen, beside a program on the left.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "browser_window.h"
#include "standin-shell/fixture.h"

namespace {

std::string besideProgram(const std::string& name) {
    char path[MAX_PATH * 2] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    folder.resize(folder.find_last_of('\\') + 1);
    return folder + name;
}

struct Arguments {
    std::string fixture;
    bool right = false;  // the windows go to the right edge of the screen
};

Arguments arguments() {
    Arguments parsed;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        const std::string arg = standin::toAnsi(argv[i]);
        if (arg == "--right")
            parsed.right = true;
        else
            parsed.fixture = arg;
    }
    LocalFree(argv);
    if (parsed.fixture.empty())
        parsed.fixture = besideProgram("standin-windows.xml");
    return parsed;
}

int fail(const std::string& text) {
    MessageBoxA(nullptr, text.c_str(), "Stand-in Browser", MB_OK | MB_ICONERROR);
    return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (FAILED(CoInitialize(nullptr)))
        return fail("COM could not be initialised.");

    const Arguments args = arguments();
    const std::string& path = args.fixture;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        CoUninitialize();
        return fail("Cannot read the pages to show: " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    const standin::Fixture fixture = standin::parseFixture(text.str());
    if (!fixture.ok) {
        CoUninitialize();
        return fail(path + ": " + fixture.error);
    }

    std::vector<std::unique_ptr<standin::BrowserWindow>> windows;
    if (!standin::BrowserWindow::registerClasses(instance)) {
        CoUninitialize();
        return fail("The window classes could not be registered.");
    }
    // Cascaded; at the right edge mostly downwards, so the windows stay clear of the left.
    const int stepX = args.right ? 16 : 48;
    const int stepY = 48;
    POINT position = {40, 40};
    if (args.right) {
        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        int pages = 0;
        for (const standin::FixtureWindow& page : fixture.windows)
            pages += page.isFolder ? 0 : 1;
        position.x = std::max<int>(
            work.left, work.right - standin::BrowserWindow::kWidth - (pages - 1) * stepX);
        position.y = work.top + 40;
    }
    for (const standin::FixtureWindow& page : fixture.windows) {
        // Folder windows belong to the file manager, which has no toolbar bands.
        if (page.isFolder)
            continue;
        auto window = std::make_unique<standin::BrowserWindow>(page, &fixture.windows);
        if (window->create(instance, position)) {
            windows.push_back(std::move(window));
            position.x += stepX;
            position.y += stepY;
        }
    }
    int code = 0;
    if (windows.empty()) {
        code = fail("No web page to show in " + path);
    } else {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        code = static_cast<int>(message.wParam);
    }
    windows.clear();
    CoUninitialize();
    return code;
}

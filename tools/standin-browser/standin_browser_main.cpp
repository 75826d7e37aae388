// The stand-in browser: shows each page of standin-windows.xml (the file beside the program, or
// the one named on the command line) in a window of its own, with the registered toolbar bands
// loaded into each window's toolbar strip. Ends when the last window is closed.
//
//   standin-browser [FIXTURE.xml]

#include <windows.h>
#include <commctrl.h>

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

std::string fixturePath() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string path;
    if (argv && argc > 1)
        path = standin::toAnsi(argv[1]);
    LocalFree(argv);
    return path.empty() ? besideProgram("standin-windows.xml") : path;
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

    const std::string path = fixturePath();
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
    POINT position = {40, 40};
    for (const standin::FixtureWindow& page : fixture.windows) {
        // Folder windows belong to the file manager, which has no toolbar bands.
        if (page.isFolder)
            continue;
        auto window = std::make_unique<standin::BrowserWindow>(page, &fixture.windows);
        if (window->create(instance, position)) {
            windows.push_back(std::move(window));
            position.x += 48;
            position.y += 48;
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

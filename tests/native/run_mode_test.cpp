#include "app/run_mode.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(RunMode, ChosenFromTheWholeCommandLine) {
    struct Case {
        const char* commandLine;
        RunMode expected;
    };
    const Case cases[] = {
        {"\"C:\\Program Files\\Vexaro\\Vexaro.exe\"", RunMode::WindowList},
        {"Vexaro.exe /all", RunMode::AllWindows},
        {"Vexaro.exe /current", RunMode::UrlList},
        // Both switches: "/all" wins, in either order.
        {"Vexaro.exe /all /current", RunMode::AllWindows},
        {"Vexaro.exe /current /all", RunMode::AllWindows},
        // Case-sensitive: an upper-case switch is no switch.
        {"Vexaro.exe /Current", RunMode::WindowList},
        {"Vexaro.exe /ALL /current", RunMode::UrlList},
        // No position or separator needed, and the program path counts too.
        {"Vexaro.exe/current", RunMode::UrlList},
        {"Vexaro.exe x/allx", RunMode::AllWindows},
        {"C:\\tools/all/Vexaro.exe", RunMode::AllWindows},
        {"Vexaro.exe /curren", RunMode::WindowList},
        {"Vexaro.exe -current", RunMode::WindowList},
        {"", RunMode::WindowList},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chooseRunMode(c.commandLine), c.expected) << "command line: " << c.commandLine;
    }
}

}  // namespace
}  // namespace vx

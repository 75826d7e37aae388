// The user's part in the whole-program runs of tests/e2e. These cases are skipped in ordinary
// runs; a script starts them with the program to drive in its environment:
//
//   VX_DRIVE_COMMAND   the command line to start
//   VX_DRIVE_REPORT    where to write what was seen, a "key=value" line each
//   VX_DRIVE_CAPTION   the progress window's caption to wait for (default "Download complete!")
//   VX_DRIVE_SESSIONS  window-list runs: how many sessions to start with "&Download Now"
//   VX_DRIVE_POLL_MS   how often the progress window's caption is read (default 10)
//
// Besides what it saw, the report gives each new caption of the progress window with the
// milliseconds since the launch when it was first read ("at_ms=MS:CAPTION"), for the benchmarks.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "resources/resource.h"
#include "ui/module.h"
#include "win_test_util.h"

namespace {

using namespace std::chrono_literals;
using wintest::poll;
using wintest::press;
using wintest::textOf;

constexpr auto kHarvestDeadline = 240000ms;

struct Drive {
    std::string command;
    std::string caption;
    std::ofstream report;
    DWORD pollMs = 10;
};

bool driveFromEnvironment(Drive& drive) {
    const char* command = std::getenv("VX_DRIVE_COMMAND");
    const char* reportPath = std::getenv("VX_DRIVE_REPORT");
    if (!command || !reportPath)
        return false;
    const char* caption = std::getenv("VX_DRIVE_CAPTION");
    drive.command = command;
    drive.caption = caption ? caption : "Download complete!";
    if (const char* pollMs = std::getenv("VX_DRIVE_POLL_MS"); pollMs && std::atoi(pollMs) > 0)
        drive.pollMs = static_cast<DWORD>(std::atoi(pollMs));
    drive.report.open(reportPath, std::ios::binary | std::ios::trunc);
    EXPECT_TRUE(drive.report.good()) << reportPath;
    return true;
}

// The running program; ended by force if it outlives the test.
class Program {
  public:
    explicit Program(std::string commandLine) : launched_(std::chrono::steady_clock::now()) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
    }
    ~Program() {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    long long msSinceLaunch() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - launched_)
            .count();
    }
    DWORD pid() const { return process_.dwProcessId; }
    bool ended() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    // The exit code once the program has ended within `deadline`, STILL_ACTIVE otherwise.
    DWORD waitForExit(DWORD deadlineMs) const {
        WaitForSingleObject(process_.hProcess, deadlineMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

  private:
    std::chrono::steady_clock::time_point launched_;
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

// Waits until the program's progress window reads `caption` with button 2 reading "OK" (the
// finished state), then presses that button. Returns the last caption seen.
std::string finishHarvest(const Program& program, const std::string& caption, Drive& drive) {
    HWND window = nullptr;
    std::string seen;
    std::string previous;
    const auto deadline = std::chrono::steady_clock::now() + kHarvestDeadline;
    // Found once and then only read: every reading costs the watched program a little.
    auto reachedNow = [&] {
        if (!window || !IsWindow(window) || !IsWindowVisible(window))
            window = wintest::dialogOfProcessWith(program.pid(), IDC_CANCEL_CURRENT);
        seen = window ? textOf(window) : std::string();
        if (seen == caption && textOf(GetDlgItem(window, IDCANCEL)) != "OK")
            seen += " (still running)";
        if (!seen.empty() && seen != previous) {
            drive.report << "at_ms=" << program.msSinceLaunch() << ":" << seen << "\n";
            previous = seen;
        }
        return seen == caption || program.ended();
    };
    bool reached = reachedNow();
    while (!reached && std::chrono::steady_clock::now() < deadline) {
        Sleep(drive.pollMs);
        reached = reachedNow();
    }
    if (reached && window && seen == caption)
        press(window, IDCANCEL);
    return seen;
}

// Message 110 ("try again" while a worker winds down) is an answer the user acts on, not a
// failure: it is reported apart from the other boxes.
void reportBoxes(Drive& drive, const wintest::MessageBoxCatcher& boxes) {
    const std::string busy = ui::loadString(IDS_WORKER_STILL_ACTIVE);
    for (const wintest::CaughtBox& box : boxes.boxes())
        drive.report << (box.text == busy ? "busy=" : "box=") << box.text << "\n";
}

}  // namespace

// "/all" and "/current": the download window runs by itself; "OK" at the end closes it.
TEST(WholeProgram, PressesOkOnceTheProgressWindowReadsTheGivenCaption) {
    Drive drive;
    if (!driveFromEnvironment(drive))
        GTEST_SKIP() << "the whole-program tests start this one themselves";
    Program program(drive.command);
    ASSERT_TRUE(program.started()) << drive.command;
    // Every box the program shows is recorded and answered, so none can hold the run.
    wintest::MessageBoxCatcher boxes({IDOK}, program.pid());

    const std::string seen = finishHarvest(program, drive.caption, drive);
    drive.report << "caption=" << seen << "\n";
    const DWORD exitCode = program.waitForExit(120000);
    drive.report << "exit=" << exitCode << "\n";
    reportBoxes(drive, boxes);

    EXPECT_EQ(seen, drive.caption);
    EXPECT_NE(exitCode, STILL_ACTIVE) << "the program did not end after button 2";
}

// The window list: "&Download Now" with the rows as listed (all checked), the progress window's
// "OK" at the end of each session, then the close box of the main window.
TEST(WholeProgram, DownloadsFromTheWindowListThenClosesIt) {
    Drive drive;
    const char* sessionsText = std::getenv("VX_DRIVE_SESSIONS");
    if (!sessionsText || !driveFromEnvironment(drive))
        GTEST_SKIP() << "the whole-program tests start this one themselves";
    const int sessions = std::atoi(sessionsText);
    Program program(drive.command);
    ASSERT_TRUE(program.started()) << drive.command;
    wintest::MessageBoxCatcher boxes({IDOK}, program.pid());

    HWND main = nullptr;
    ASSERT_TRUE(poll(
        [&] {
            main = wintest::dialogOfProcessWith(program.pid(), IDC_DOWNLOAD_NOW);
            return main && IsWindowEnabled(GetDlgItem(main, IDC_DOWNLOAD_NOW));
        },
        kHarvestDeadline))
        << "the window list never offered \"&Download Now\"";
    drive.report << "rows="
                 << SendMessageA(GetDlgItem(main, IDC_BROWSER_LIST), LVM_GETITEMCOUNT, 0, 0)
                 << "\n";

    for (int i = 0; i < sessions; ++i) {
        // The last session's worker hands the button back before it has ended; pressed in that
        // moment, "&Download Now" answers IDS_WORKER_STILL_ACTIVE (the catcher presses its OK) and
        // the user presses again. A session has started once its progress window shows.
        bool started = false;
        const auto giveUp = std::chrono::steady_clock::now() + kHarvestDeadline;
        while (!started && std::chrono::steady_clock::now() < giveUp) {
            // A box owned by the main window keeps it disabled until answered.
            ASSERT_TRUE(poll([&] {
                return IsWindowEnabled(main) && IsWindowEnabled(GetDlgItem(main, IDC_DOWNLOAD_NOW));
            }));
            const size_t shown = boxes.count();
            press(main, IDC_DOWNLOAD_NOW);
            ASSERT_TRUE(poll(
                [&] {
                    started =
                        wintest::dialogOfProcessWith(program.pid(), IDC_CANCEL_CURRENT) != nullptr;
                    return started || boxes.count() > shown;
                },
                kHarvestDeadline));
        }
        ASSERT_TRUE(started) << "\"&Download Now\" started no session";
        // Read before "caption=" is written: the harvest writes its own lines as it goes.
        const std::string seen = finishHarvest(program, drive.caption, drive);
        drive.report << "caption=" << seen << "\n";
        // "OK" hides the progress window, which stays for the next session.
        EXPECT_TRUE(poll([&] {
            HWND progress = wintest::dialogOfProcessWith(program.pid(), IDC_CANCEL_CURRENT);
            return progress == nullptr;
        })) << "the progress window stayed after \"OK\"";
    }

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    const DWORD exitCode = program.waitForExit(120000);
    drive.report << "exit=" << exitCode << "\n";
    reportBoxes(drive, boxes);

    EXPECT_NE(exitCode, STILL_ACTIVE) << "the program did not end after its close box";
}

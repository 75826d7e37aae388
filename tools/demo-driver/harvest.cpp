// The user of a whole-program run: the program started, its progress window read until it ends,
// "OK" pressed, message boxes answered, and each new caption reported with the milliseconds since
// the launch when it was first read ("at_ms=MS:CAPTION"), for the benchmarks.

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "base/string_table.h"
#include "driver.h"
#include "resources/resource.h"
#include "robot.h"

namespace driver {

namespace {

using namespace std::chrono_literals;

constexpr auto kHarvestDeadline = 240000ms;

// The running program; ended by force if it outlives the run.
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

int failed(const char* what) {
    std::fprintf(stderr, "demo-driver: %s\n", what);
    return 1;
}

// Waits until the program's progress window reads `caption` with button 2 reading "OK" (the
// finished state), then presses that button. Returns the last caption seen.
std::string finishHarvest(const Program& program, const HarvestPlay& play, std::ofstream& report) {
    HWND window = nullptr;
    std::string seen;
    std::string previous;
    const auto deadline = std::chrono::steady_clock::now() + kHarvestDeadline;
    // Found once and then only read: every reading costs the watched program a little.
    auto reachedNow = [&] {
        if (!window || !IsWindow(window) || !IsWindowVisible(window))
            window = robot::dialogOfProcessWith(program.pid(), IDC_CANCEL_CURRENT);
        seen = window ? robot::textOf(window) : std::string();
        if (seen == play.caption && robot::textOf(GetDlgItem(window, IDCANCEL)) != "OK")
            seen += " (still running)";
        if (!seen.empty() && seen != previous) {
            report << "at_ms=" << program.msSinceLaunch() << ":" << seen << "\n";
            previous = seen;
        }
        return seen == play.caption || program.ended();
    };
    bool reached = reachedNow();
    while (!reached && std::chrono::steady_clock::now() < deadline) {
        Sleep(play.pollMs);
        reached = reachedNow();
    }
    if (reached && window && seen == play.caption)
        robot::press(window, IDCANCEL);
    return seen;
}

// IDS_WORKER_STILL_ACTIVE ("try again" while a worker winds down) is an answer the user acts on,
// not a failure: it is reported apart from the other boxes.
void reportBoxes(std::ofstream& report, const robot::MessageBoxCatcher& boxes) {
    const std::string busy = vx::tableText(IDS_WORKER_STILL_ACTIVE);
    for (const robot::CaughtBox& box : boxes.boxes())
        report << (box.text == busy ? "busy=" : "box=") << box.text << "\n";
}

// "/all" and "/current": the download window runs by itself; "OK" at the end closes it.
int harvestAlone(const HarvestPlay& play, std::ofstream& report) {
    Program program(play.command);
    if (!program.started())
        return failed("the program could not be started");
    // Every box the program shows is recorded and answered, so none can hold the run.
    robot::MessageBoxCatcher boxes({IDOK}, program.pid());

    const std::string seen = finishHarvest(program, play, report);
    report << "caption=" << seen << "\n";
    const DWORD exitCode = program.waitForExit(120000);
    report << "exit=" << exitCode << "\n";
    reportBoxes(report, boxes);

    if (seen != play.caption)
        return failed("the progress window never read the caption waited for");
    if (exitCode == STILL_ACTIVE)
        return failed("the program did not end after button 2");
    return 0;
}

// The window list: "&Download Now" with the rows as listed (all checked), the progress window's
// "OK" at the end of each session, then the close box of the main window.
int harvestFromWindowList(const HarvestPlay& play, std::ofstream& report) {
    Program program(play.command);
    if (!program.started())
        return failed("the program could not be started");
    robot::MessageBoxCatcher boxes({IDOK}, program.pid());

    HWND main = nullptr;
    if (!robot::poll(
            [&] {
                main = robot::dialogOfProcessWith(program.pid(), IDC_DOWNLOAD_NOW);
                return main && IsWindowEnabled(GetDlgItem(main, IDC_DOWNLOAD_NOW));
            },
            kHarvestDeadline))
        return failed("the window list never offered \"&Download Now\"");
    report << "rows=" << SendMessageA(GetDlgItem(main, IDC_BROWSER_LIST), LVM_GETITEMCOUNT, 0, 0)
           << "\n";

    int status = 0;
    for (int i = 0; i < play.sessions; ++i) {
        // The last session's worker hands the button back before it has ended; pressed in that
        // moment, "&Download Now" answers IDS_WORKER_STILL_ACTIVE (the catcher presses its OK) and
        // the user presses again. A session has started once its progress window shows.
        bool started = false;
        const auto giveUp = std::chrono::steady_clock::now() + kHarvestDeadline;
        while (!started && std::chrono::steady_clock::now() < giveUp) {
            // A box owned by the main window keeps it disabled until answered.
            if (!robot::poll([&] {
                    return IsWindowEnabled(main) &&
                           IsWindowEnabled(GetDlgItem(main, IDC_DOWNLOAD_NOW));
                }))
                return failed("\"&Download Now\" stayed disabled");
            const size_t shown = boxes.count();
            robot::press(main, IDC_DOWNLOAD_NOW);
            if (!robot::poll(
                    [&] {
                        started = robot::dialogOfProcessWith(program.pid(), IDC_CANCEL_CURRENT) !=
                                  nullptr;
                        return started || boxes.count() > shown;
                    },
                    kHarvestDeadline))
                return failed("\"&Download Now\" showed neither a session nor a box");
        }
        if (!started)
            return failed("\"&Download Now\" started no session");
        // Read before "caption=" is written: the harvest writes its own lines as it goes.
        const std::string seen = finishHarvest(program, play, report);
        report << "caption=" << seen << "\n";
        // "OK" hides the progress window, which stays for the next session.
        if (!robot::poll([&] {
                return robot::dialogOfProcessWith(program.pid(), IDC_CANCEL_CURRENT) == nullptr;
            }))
            status = failed("the progress window stayed after \"OK\"");
    }

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    const DWORD exitCode = program.waitForExit(120000);
    report << "exit=" << exitCode << "\n";
    reportBoxes(report, boxes);

    if (exitCode == STILL_ACTIVE)
        return failed("the program did not end after its close box");
    return status;
}

}  // namespace

int playHarvest(const HarvestPlay& play) {
    std::ofstream report(play.report, std::ios::binary | std::ios::trunc);
    if (!report.good())
        return failed(("cannot write " + play.report).c_str());
    return play.sessions > 0 ? harvestFromWindowList(play, report) : harvestAlone(play, report);
}

}  // namespace driver

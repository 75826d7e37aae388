#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/install_folder.h"
#include "base/win/module_file.h"
#include "base/string_table.h"
#include "resources/resource.h"
#include "ui/message_box.h"
#include "ui/module.h"
#include "win_test_util.h"

namespace {

using wintest::MessageBoxCatcher;

constexpr char kInstallKey[] = "SOFTWARE\\Norlume\\Vexaro";

bool sameFolder(std::string a, std::string b) {
    while (!a.empty() && a.back() == '\\')
        a.pop_back();
    while (!b.empty() && b.back() == '\\')
        b.pop_back();
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST(SystemErrorBox, ShowsTheSystemTextWithCaptionError) {
    std::optional<std::string> expected = ui::systemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(expected.has_value());
    ASSERT_FALSE(expected->empty());

    MessageBoxCatcher catcher;
    ui::systemErrorBox(ERROR_FILE_NOT_FOUND);
    // The box is modal: once the call returns, the catcher has seen and answered it.
    auto boxes = catcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, *expected);
    EXPECT_EQ(boxes[0].iconStyle, static_cast<UINT>(MB_ICONINFORMATION));
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
}

TEST(SystemErrorBox, ShowsNothingForACodeWithoutText) {
    const uint32_t unknown = 0x2FFFFFFF;
    EXPECT_FALSE(ui::systemErrorText(unknown).has_value());
    MessageBoxCatcher catcher;
    ui::systemErrorBox(unknown);
    EXPECT_EQ(catcher.count(), 0u);
}

TEST(AppMessageBox, CaptionIsTheProgramsBaseName) {
    EXPECT_EQ(ui::appTitle(), "win_tests");
    MessageBoxCatcher catcher({IDNO});
    EXPECT_EQ(ui::appMessageBox("Proceed?", MB_YESNO | MB_ICONQUESTION), IDNO);
    auto boxes = catcher.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "win_tests");
    EXPECT_EQ(boxes[0].text, "Proceed?");
    EXPECT_EQ(boxes[0].iconStyle, static_cast<UINT>(MB_ICONQUESTION));
}

TEST(AppMessageBox, FormatsStringTableTexts) {
    MessageBoxCatcher catcher;
    EXPECT_EQ(ui::appMessageBoxId(IDS_READ_URL_CACHE_FAILED, MB_OK, "cacheurl.xml"), IDOK);
    EXPECT_EQ(ui::appMessageBoxId(IDS_MEMORY_NOT_ENOUGH, MB_OK), IDOK);
    auto boxes = catcher.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Unable to read url cache file: cacheurl.xml");
    EXPECT_EQ(boxes[1].text,
              "Memory not enouth.Please close some other application and try again.");
}

TEST(StringResources, TheCompiledTableHoldsTheSameBytesAsTheList) {
    for (const vx::StringEntry& entry : vx::stringTable()) {
        EXPECT_EQ(ui::loadString(entry.id), entry.text) << "string " << entry.id;
    }
    EXPECT_EQ(ui::loadString(1), "");
}

TEST(StringResources, ApplicationIconHasTheThreeSizes) {
    for (int size : {16, 32, 48}) {
        HICON icon =
            static_cast<HICON>(LoadImageA(ui::resourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                          IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(InstallEnvironment, FolderOfTheRunningProgramEndsWithBackslash) {
    std::string folder = vx::platformInstallEnvironment().installFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    std::string program = vx::moduleFileName();
    EXPECT_EQ(program.compare(0, folder.size(), folder), 0) << program;
    EXPECT_EQ(program.substr(folder.size()).find('\\'), std::string::npos) << program;
    EXPECT_NE(GetFileAttributesA((folder + "win_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(InstallEnvironment, InstallPathFromTheRegistry) {
    // The runner records the test program's folder there.
    std::optional<std::string> path = vx::platformInstallEnvironment().registryInstallPath();
    ASSERT_TRUE(path.has_value());
    EXPECT_TRUE(sameFolder(*path, vx::platformInstallEnvironment().installFolder())) << *path;
}

TEST(InstallEnvironment, InstallPathValueShapes) {
    wintest::RegistryValueGuard guard(HKEY_CURRENT_USER, kInstallKey, "InstallPath");
    auto read = [] { return vx::platformInstallEnvironment().registryInstallPath(); };

    ASSERT_TRUE(guard.setString("C:\\Vexaro"));
    EXPECT_EQ(read(), "C:\\Vexaro");

    // Stored without its terminating NUL.
    const std::string bare = "D:\\Tools\\Vexaro";
    ASSERT_TRUE(guard.set(REG_SZ, bare.data(), static_cast<DWORD>(bare.size())));
    EXPECT_EQ(read(), bare);

    const std::string longPath = "C:\\" + std::string(2000, 'a');
    ASSERT_TRUE(guard.setString(longPath));
    EXPECT_EQ(read(), longPath);

    ASSERT_TRUE(SetEnvironmentVariableA("VX_TEST_ROOT", "E:\\Apps"));
    ASSERT_TRUE(guard.setString("%VX_TEST_ROOT%\\Vexaro", REG_EXPAND_SZ));
    EXPECT_EQ(read(), "E:\\Apps\\Vexaro");

    ASSERT_TRUE(guard.setString("", REG_SZ));
    EXPECT_EQ(read(), "");

    DWORD number = 5;
    ASSERT_TRUE(guard.set(REG_DWORD, &number, sizeof number));
    EXPECT_EQ(read(), std::nullopt);

    ASSERT_TRUE(guard.remove());
    EXPECT_EQ(read(), std::nullopt);
}

// The messages of the URL-list loader, as the user reads them.
std::vector<std::string> urlListMessages() {
    return {vx::formatText(vx::stringText(IDS_READ_URL_CACHE_FAILED), {"cacheurl.xml"}),
            vx::stringText(IDS_MEMORY_NOT_ENOUGH), vx::stringText(IDS_PARSE_URL_CACHE_FAILED)};
}

int urlListMessageCount(const std::vector<wintest::CaughtBox>& boxes) {
    int n = 0;
    for (const auto& box : boxes) {
        for (const std::string& message : urlListMessages())
            n += box.text == message ? 1 : 0;
    }
    return n;
}

// Vexaro.exe copied into a folder of its own, which is then its install folder.
class VexaroProcess : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string built = wintest::besideTestProgram("Vexaro.exe");
        ASSERT_NE(GetFileAttributesA(built.c_str()), INVALID_FILE_ATTRIBUTES)
            << "Vexaro.exe is built beside the test program";
        ASSERT_TRUE(CopyFileA(built.c_str(), folder_.file("Vexaro.exe").c_str(), FALSE));
    }

    // Runs the program with `arguments` until it ends and returns its exit code. Message boxes
    // are answered (Yes where asked, otherwise OK); the window a mode runs is closed as a user
    // would close it, so every mode comes to its end.
    DWORD run(const std::string& arguments) {
        std::string commandLine = "\"" + folder_.file("Vexaro.exe") + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder_.path().c_str(), &startup, &process)) {
            ADD_FAILURE() << "cannot start " << commandLine;
            return ~0u;
        }
        catcher_.watchProcess(process.dwProcessId);
        std::set<HWND> closed;
        bool ended = wintest::waitFor([&] {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
                return true;
            closeModeWindows(process.dwProcessId, closed);
            return false;
        });
        DWORD code = ~0u;
        if (ended) {
            GetExitCodeProcess(process.hProcess, &code);
        } else {
            ADD_FAILURE() << "Vexaro did not end: " << arguments;
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return code;
    }

    static void closeModeWindows(DWORD processId, std::set<HWND>& closed) {
        struct Search {
            DWORD processId;
            std::vector<HWND> found;
        } search{processId, {}};
        EnumWindows(
            [](HWND window, LPARAM param) -> BOOL {
                auto* s = reinterpret_cast<Search*>(param);
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                char name[16] = {};
                GetClassNameA(window, name, sizeof name);
                // A message box has its text in the static control 0xFFFF; the catcher takes those.
                if (pid == s->processId && IsWindowVisible(window) &&
                    lstrcmpA(name, "#32770") == 0 && !GetDlgItem(window, 0xFFFF))
                    s->found.push_back(window);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.found) {
            if (closed.insert(window).second)
                PostMessageA(window, WM_CLOSE, 0, 0);
        }
    }

    wintest::TempFolder folder_;
    MessageBoxCatcher catcher_{{IDYES}, MessageBoxCatcher::kNoProcess};
};

TEST_F(VexaroProcess, MissingUrlListNamesTheBareFileName) {
    EXPECT_EQ(run("/current"), 0u);
    auto boxes = catcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Vexaro");
    EXPECT_EQ(boxes[0].text, "Unable to read url cache file: cacheurl.xml");
    EXPECT_EQ(boxes[0].buttons, std::vector<int>{IDOK});
}

TEST_F(VexaroProcess, MalformedUrlListIsReported) {
    ASSERT_TRUE(folder_.write("cacheurl.xml", "<URLCACHE>\r\n<URL>http://a/</URL>\r\n"));
    EXPECT_EQ(run("/current"), 0u);
    auto boxes = catcher_.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Vexaro");
    EXPECT_EQ(boxes[0].text, "Error occured while parsing url cache file, please try again.");
}

TEST_F(VexaroProcess, WellFormedUrlListIsReadSilently) {
    const std::string handOver =
        "<URLCACHE>\r\n<URL>http://example.com/?a=1&b=2</URL>\r\n</URLCACHE>";
    ASSERT_TRUE(folder_.write("cacheurl.xml", handOver));
    EXPECT_EQ(run("/current"), 0u);
    EXPECT_EQ(urlListMessageCount(catcher_.boxes()), 0);
    // The hand-over file is only read.
    EXPECT_EQ(folder_.read("cacheurl.xml"), handOver);
}

TEST_F(VexaroProcess, OtherModesDoNotReadTheUrlList) {
    // A broken hand-over file would be reported by any mode that reads it.
    ASSERT_TRUE(folder_.write("cacheurl.xml", "<URLCACHE>"));
    for (const char* arguments : {"/current /all", "/all /current", "/Current", ""}) {
        EXPECT_EQ(run(arguments), 0u) << arguments;
    }
    EXPECT_EQ(urlListMessageCount(catcher_.boxes()), 0);
}

}  // namespace

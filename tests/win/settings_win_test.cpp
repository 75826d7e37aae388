#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "settings/win/settings_store_win.h"
#include "ui/message_box.h"
#include "support/test_paths.h"
#include "win_test_util.h"

namespace {

const char kInstallKey[] = "SOFTWARE\\Norlume\\Vexaro";

std::string fixture(const std::string& name) {
    auto bytes =
        vx::platformFileSystem().readFile(std::string(VX_FIXTURES_DIR) + "/settings/" + name);
    EXPECT_TRUE(bytes.has_value()) << name;
    return bytes.value_or("");
}

// Keeps whatever "config.xml" the install folder held and puts it back afterwards.
class ConfigFileGuard {
  public:
    ConfigFileGuard() : path_(wintest::besideTestProgram("config.xml")) {
        saved_ = vx::platformFileSystem().readFile(path_);
        DeleteFileA(path_.c_str());
    }
    ~ConfigFileGuard() {
        DeleteFileA(path_.c_str());
        if (saved_)
            vx::platformFileSystem().writeFile(path_, *saved_);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::optional<std::string> saved_;
};

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

vx::DownloadSettings allOptions() {
    vx::DownloadSettings s;
    s.saveFolder = "D:\\Media\\Download";
    s.limitFileSize = 1;
    s.limitResolution = 1;
    s.resolutions = {{640, 480}, {800, 600}};
    return s;
}

TEST(SettingsWin, DefaultSaveFolderComesFromTheRealRegistry) {
    ConfigFileGuard config;
    // The runner records the test program's folder as InstallPath.
    std::string programFolder = wintest::besideTestProgram("");
    programFolder.pop_back();
    vx::DownloadSettings s;
    vx::initSettings(s);
    EXPECT_EQ(s.saveFolder, programFolder + "\\Download");

    {
        wintest::RegistryValueGuard installPath(HKEY_CURRENT_USER, kInstallKey, "InstallPath");
        ASSERT_TRUE(installPath.setString("C:\\Program Files\\Vexaro"));
        vx::initSettings(s);
        EXPECT_EQ(s.saveFolder, "C:\\Program Files\\Vexaro\\Download");

        ASSERT_TRUE(installPath.remove());
        vx::initSettings(s);
        EXPECT_EQ(s.saveFolder, "");
        EXPECT_EQ(s, vx::DownloadSettings{});
    }
    EXPECT_EQ(vx::platformInstallEnvironment().registryInstallPath(), programFolder);
}

TEST(SettingsWin, SavedFileInTheInstallFolderIsTheExactTextAndReadsBack) {
    ConfigFileGuard config;
    ASSERT_TRUE(vx::saveSettings(allOptions()));
    EXPECT_EQ(vx::platformFileSystem().readFile(config.path()), fixture("all_options.xml"));

    vx::DownloadSettings s;
    vx::initSettings(s);
    EXPECT_EQ(s, allOptions());

    // A shorter record replaces the whole file.
    vx::DownloadSettings shorter;
    shorter.saveFolder = "C:\\Program Files\\Vexaro\\Download";
    ASSERT_TRUE(vx::saveSettings(shorter));
    EXPECT_EQ(vx::platformFileSystem().readFile(config.path()), fixture("defaults.xml"));
}

TEST(SettingsWin, FailedSaveShowsTheSystemTextOfTheFileError) {
    ConfigFileGuard config;
    // Held open without sharing, the file cannot be replaced.
    HANDLE held = CreateFileA(config.path().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(held, "old", 3, &written, nullptr));

    // Replacing a file held open is refused: "in use" or "denied", as the system words it.
    std::optional<std::string> sharing = ui::systemErrorText(ERROR_SHARING_VIOLATION);
    std::optional<std::string> denied = ui::systemErrorText(ERROR_ACCESS_DENIED);
    ASSERT_TRUE(sharing && denied);
    wintest::MessageBoxCatcher catcher({IDOK});
    vx::DownloadSettings s = allOptions();
    EXPECT_FALSE(vx::saveSettings(s));
    CloseHandle(held);

    ASSERT_EQ(catcher.count(), 1u);
    wintest::CaughtBox box = catcher.boxes()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_TRUE(trimmed(box.text) == trimmed(*sharing) || trimmed(box.text) == trimmed(*denied))
        << box.text;
    EXPECT_EQ(s, allOptions());
    // The old file is whole, and no temporary file is left beside it.
    EXPECT_EQ(vx::platformFileSystem().readFile(config.path()), std::optional<std::string>("old"));
    std::string folder = wintest::besideTestProgram("");
    for (const vx::FolderEntry& entry : vx::platformFileSystem().listFolder(folder))
        EXPECT_EQ(entry.name.find("config.xml."), std::string::npos) << entry.name;
}

}  // namespace

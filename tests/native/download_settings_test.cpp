#include "settings/download_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "support/memory_file_system.h"
#include "support/test_paths.h"

namespace vx {

void PrintTo(const DownloadSettings& s, std::ostream* os) {
    *os << "{\"" << s.saveFolder.str() << "\" size " << s.limitFileSize << " >" << s.largerThanOn
        << ":" << s.largerThanKB << " <" << s.smallerThanOn << ":" << s.smallerThanKB << " res "
        << s.limitResolution << " [";
    for (const ResolutionCap& c : s.resolutions)
        *os << c.width << "x" << c.height << " ";
    *os << "] types " << s.typeImages << s.typeMp3 << s.typeFlash << "}";
}

}  // namespace vx

namespace {

using namespace std::string_literals;
using vx::DownloadSettings;
using vx::ResolutionCap;

using MemoryFiles = vx::test::MemoryFileSystem;
using vx::test::FakeInstall;

std::string sep() {
    return std::string(1, vx::pathSeparator());
}

std::string readFixture(const std::string& name) {
    auto bytes =
        vx::platformFileSystem().readFile(std::string(VX_FIXTURES_DIR) + "/settings/" + name);
    EXPECT_TRUE(bytes.has_value()) << name;
    return bytes.value_or("");
}

DownloadSettings allOptions() {
    DownloadSettings s;
    s.saveFolder = "D:\\Media\\Download";
    s.limitFileSize = 1;
    s.largerThanOn = 1;
    s.largerThanKB = 250;
    s.smallerThanOn = 0;
    s.smallerThanKB = 0;
    s.limitResolution = 1;
    s.resolutions = {{640, 480}, {800, 600}};
    s.typeImages = 1;
    return s;
}

class SettingsFileTest : public ::testing::Test {
  protected:
    SettingsFileTest() {
        install.folder = sep() + "opt" + sep() + "vexaro" + sep();
        install.registry = "C:\\Program Files\\Vexaro";
    }
    std::string configPath() const { return install.folder + "config.xml"; }
    DownloadSettings loaded() {
        DownloadSettings s;
        vx::initSettings(s, install, files);
        return s;
    }
    DownloadSettings defaults() {
        DownloadSettings s;
        s.saveFolder = "C:\\Program Files\\Vexaro" + sep() + "Download";
        return s;
    }

    FakeInstall install;
    MemoryFiles files;
};

TEST_F(SettingsFileTest, AllOptionsFileIsWrittenByteForByteAndReadsBack) {
    ASSERT_TRUE(vx::saveSettings(allOptions(), install, files));
    EXPECT_EQ(files.files[configPath()], readFixture("all_options.xml"));
    EXPECT_EQ(loaded(), allOptions());
}

TEST_F(SettingsFileTest, DefaultRecordWritesFourLinesAndReadsBack) {
    DownloadSettings s;
    s.saveFolder = "C:\\Program Files\\Vexaro\\Download";
    EXPECT_EQ(vx::settingsText(s), readFixture("defaults.xml"));

    files.files[configPath()] = readFixture("defaults.xml");
    DownloadSettings expected;
    expected.saveFolder = "C:\\Program Files\\Vexaro\\Download";
    EXPECT_EQ(loaded(), expected);
}

TEST_F(SettingsFileTest, WithoutAFileTheDefaultsStandAndTheFolderComesFromTheRegistry) {
    DownloadSettings s = loaded();
    EXPECT_EQ(s, defaults());
    EXPECT_EQ(s.limitFileSize, 0);
    EXPECT_EQ(s.largerThanOn, 1);
    EXPECT_EQ(s.largerThanKB, 250);
    EXPECT_EQ(s.limitResolution, 0);
    EXPECT_EQ(s.typeImages, 1);
    EXPECT_EQ(s.typeMp3, 0);
    EXPECT_EQ(s.typeFlash, 0);

    DownloadSettings untouched = allOptions();
    EXPECT_FALSE(vx::loadSettings(untouched, install, files));
    EXPECT_EQ(untouched, allOptions());
}

TEST_F(SettingsFileTest, DefaultFolderFromTheRegistry) {
    install.registry = std::nullopt;
    EXPECT_EQ(loaded().saveFolder, "");
    install.registry = "C:\\Vexaro" + sep();
    EXPECT_EQ(vx::defaultSaveFolder(install), "C:\\Vexaro" + sep() + "Download");
    install.registry = "";
    EXPECT_EQ(vx::defaultSaveFolder(install), sep() + "Download");
    install.registry = std::string(600, 'r');
    EXPECT_EQ(loaded().saveFolder.size(), 519u);
}

TEST_F(SettingsFileTest, FilesThatNameNothingLeaveTheDefaults) {
    const std::pair<const char*, std::string> cases[] = {
        {"empty root", "<CONFIG/>"},
        {"empty file", ""},
        {"other root", "<SETTINGS><SAVEFOLDER>X:\\</SAVEFOLDER></SETTINGS>"},
        {"lower-case names", "<config><savefolder>X:\\</savefolder></config>"},
        {"truncated", readFixture("truncated.xml")},
        {"not XML", "SAVEFOLDER=X:\\"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        files.files[configPath()] = text;
        DownloadSettings s;
        s.saveFolder = "kept";
        EXPECT_TRUE(vx::loadSettings(s, install, files));
        DownloadSettings expected;
        expected.saveFolder = "kept";
        EXPECT_EQ(s, expected);
        EXPECT_EQ(loaded(), defaults());
    }
}

TEST_F(SettingsFileTest, FiltersSavedOffComeBackWithDefaultValues) {
    DownloadSettings s = allOptions();
    s.limitFileSize = 0;
    s.largerThanOn = 0;
    s.largerThanKB = 999;
    s.smallerThanOn = 1;
    s.smallerThanKB = 5000;
    s.limitResolution = 0;
    ASSERT_TRUE(vx::saveSettings(s, install, files));
    EXPECT_EQ(files.files[configPath()].find("FILESIZE"), std::string::npos);
    EXPECT_EQ(files.files[configPath()].find("RESOLV"), std::string::npos);

    DownloadSettings back = loaded();
    EXPECT_EQ(back.limitFileSize, 0);
    EXPECT_EQ(back.largerThanOn, 1);
    EXPECT_EQ(back.largerThanKB, 250);
    EXPECT_EQ(back.smallerThanOn, 0);
    EXPECT_EQ(back.smallerThanKB, 0);
    EXPECT_EQ(back.limitResolution, 0);
    EXPECT_TRUE(back.resolutions.empty());
    EXPECT_EQ(back.saveFolder, "D:\\Media\\Download");
}

TEST_F(SettingsFileTest, TypeBitsSelectTheMediaTypes) {
    struct Case {
        const char* text;
        int32_t images, mp3, flash;
    };
    const Case cases[] = {{"0", 0, 0, 0}, {"1", 1, 0, 0},  {"2", 0, 1, 0}, {"4", 0, 0, 1},
                          {"6", 0, 1, 1}, {"7", 1, 1, 1},  {"9", 1, 0, 0}, {"x", 0, 0, 0},
                          {"", 0, 0, 0},  {" 5 ", 1, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        files.files[configPath()] =
            std::string("<CONFIG><LIMITFILETYPE>") + c.text + "</LIMITFILETYPE></CONFIG>";
        DownloadSettings s = loaded();
        EXPECT_EQ(s.typeImages, c.images);
        EXPECT_EQ(s.typeMp3, c.mp3);
        EXPECT_EQ(s.typeFlash, c.flash);
    }
    // And written back as the sum of the bits.
    DownloadSettings s;
    s.typeImages = 0;
    s.typeMp3 = 1;
    s.typeFlash = 1;
    EXPECT_NE(vx::settingsText(s).find("<LIMITFILETYPE>6</LIMITFILETYPE>\r\n"), std::string::npos);
    s.typeMp3 = 0;
    s.typeFlash = 0;
    EXPECT_NE(vx::settingsText(s).find("<LIMITFILETYPE>0</LIMITFILETYPE>\r\n"), std::string::npos);
}

TEST_F(SettingsFileTest, LongSaveFolderIsCutTo519Bytes) {
    const std::string folder = "D:\\" + std::string(700, 'f');
    files.files[configPath()] = "<CONFIG><SAVEFOLDER>" + folder + "</SAVEFOLDER></CONFIG>";
    EXPECT_EQ(loaded().saveFolder.str(), folder.substr(0, 519));

    DownloadSettings s;
    s.saveFolder = folder;
    EXPECT_EQ(s.saveFolder.size(), 519u);
}

// Files would otherwise be saved under the path up to the NUL, which the platform opens, while
// the record held a different folder.
TEST_F(SettingsFileTest, SaveFolderEndsAtANulByteAndReadsBackAsWritten) {
    files.files[configPath()] =
        "<CONFIG><SAVEFOLDER>D:\\Pics"s + '\0' + "\\Other</SAVEFOLDER></CONFIG>";
    const DownloadSettings s = loaded();
    EXPECT_EQ(s.saveFolder.str(), "D:\\Pics");
    ASSERT_TRUE(vx::saveSettings(s, install, files));
    EXPECT_EQ(loaded(), s);
}

TEST_F(SettingsFileTest, MarkupCharactersInTheFolderAreEscapedAndReadBack) {
    DownloadSettings s;
    s.saveFolder = "D:\\Tom & Jerry\\<new> 'q' \"d\"";
    ASSERT_TRUE(vx::saveSettings(s, install, files));
    EXPECT_NE(files.files[configPath()].find(
                  "<SAVEFOLDER>D:\\Tom &amp; Jerry\\&lt;new&gt; 'q' \"d\"</SAVEFOLDER>"),
              std::string::npos);
    EXPECT_EQ(loaded().saveFolder, s.saveFolder);

    s.saveFolder = "";
    ASSERT_TRUE(vx::saveSettings(s, install, files));
    EXPECT_NE(files.files[configPath()].find("<SAVEFOLDER/>\r\n"), std::string::npos);
    EXPECT_EQ(loaded().saveFolder, "");
}

TEST_F(SettingsFileTest, SizeGroupAfterTheTypesIsReadAndTheTypesAreThenNotFound) {
    files.files[configPath()] = readFixture("size_after_types.xml");
    DownloadSettings expected;
    expected.saveFolder = "E:\\Pics";
    expected.limitFileSize = 1;
    expected.largerThanOn = 0;
    expected.largerThanKB = 10;
    expected.smallerThanOn = 1;
    expected.smallerThanKB = 900;
    EXPECT_EQ(loaded(), expected);
}

TEST_F(SettingsFileTest, LookupsFollowTheWrittenOrder) {
    struct Case {
        const char* name;
        std::string text;
        DownloadSettings expected;
    };
    DownloadSettings resolvingOnly;
    resolvingOnly.saveFolder = "C:\\Program Files\\Vexaro" + sep() + "Download";
    DownloadSettings sizeOnly = resolvingOnly;
    sizeOnly.limitFileSize = 1;
    sizeOnly.largerThanKB = 3;
    DownloadSettings typesOnly = resolvingOnly;
    typesOnly.typeImages = 0;
    typesOnly.typeFlash = 1;
    DownloadSettings resolutionsRead = resolvingOnly;
    resolutionsRead.limitResolution = 1;
    resolutionsRead.resolutions = {{1, 2}};

    const Case cases[] = {
        {"resolutions before the size group are passed over",
         "<CONFIG><LIMITRESOLVING><RESOLVING_CAP RESX=\"1\" RESY=\"2\"/></LIMITRESOLVING>"
         "<LIMITFILESIZE><BIGTHAN FILESIZE=\"3\">1</BIGTHAN></LIMITFILESIZE></CONFIG>",
         sizeOnly},
        {"folder after the resolutions is read, which hides the resolutions",
         "<CONFIG><LIMITRESOLVING><RESOLVING_CAP RESX=\"1\" RESY=\"2\"/></LIMITRESOLVING>"
         "<SAVEFOLDER>Z:\\</SAVEFOLDER><LIMITFILETYPE>4</LIMITFILETYPE></CONFIG>",
         [&] {
             DownloadSettings s = typesOnly;
             s.saveFolder = "Z:\\";
             return s;
         }()},
        {"folder after the types is read, which hides the types",
         "<CONFIG><LIMITFILETYPE>4</LIMITFILETYPE><SAVEFOLDER>Y:\\</SAVEFOLDER></CONFIG>",
         [&] {
             DownloadSettings s = resolvingOnly;
             s.saveFolder = "Y:\\";
             return s;
         }()},
        {"empty size group switches the filter on with its defaults",
         "<CONFIG><LIMITFILESIZE/></CONFIG>",
         [&] {
             DownloadSettings s = resolvingOnly;
             s.limitFileSize = 1;
             return s;
         }()},
        {"empty resolution group switches the filter on with no entries",
         "<CONFIG><LIMITRESOLVING/><LIMITFILETYPE>4</LIMITFILETYPE></CONFIG>",
         [&] {
             DownloadSettings s = typesOnly;
             s.limitResolution = 1;
             return s;
         }()},
        {"resolutions after the types are read, which hides the types",
         "<CONFIG><LIMITFILETYPE>1</LIMITFILETYPE><LIMITRESOLVING><RESOLVING_CAP RESX=\"1\" "
         "RESY=\"2\"/></LIMITRESOLVING></CONFIG>",
         resolutionsRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.files[configPath()] = c.text;
        EXPECT_EQ(loaded(), c.expected);
    }
}

TEST_F(SettingsFileTest, HandEditedValuesAreReadByTheirLeadingNumber) {
    files.files[configPath()] = readFixture("hand_edited.xml");
    DownloadSettings expected;
    expected.saveFolder = "F:\\Music & Movies";
    expected.limitFileSize = 1;
    // SMALLTHAN stands before BIGTHAN and is therefore not read.
    expected.largerThanOn = 1;
    expected.largerThanKB = 64;
    expected.limitResolution = 1;
    expected.resolutions = {{88, 31}, {88, 31}, {468, 60}, {-1, 12}, {0, 600}};
    expected.typeImages = 1;
    expected.typeMp3 = 1;
    EXPECT_EQ(loaded(), expected);
}

TEST_F(SettingsFileTest, NumbersOutside32BitsAreHeldAtTheLimits) {
    files.files[configPath()] =
        "<CONFIG><LIMITFILESIZE><BIGTHAN FILESIZE=\"99999999999\">1</BIGTHAN>"
        "<SMALLTHAN FILESIZE=\"-99999999999\">0</SMALLTHAN></LIMITFILESIZE></CONFIG>";
    DownloadSettings s = loaded();
    EXPECT_EQ(s.largerThanKB, INT32_MAX);
    EXPECT_EQ(s.smallerThanKB, INT32_MIN);
}

TEST_F(SettingsFileTest, FailedSaveReportsTheFileErrorAndKeepsTheRecord) {
    files.writeError = 5;
    DownloadSettings s = allOptions();
    uint32_t error = 0;
    EXPECT_FALSE(vx::saveSettings(s, install, files, &error));
    EXPECT_EQ(error, 5u);
    EXPECT_EQ(s, allOptions());
    EXPECT_TRUE(files.files.empty());
}

TEST_F(SettingsFileTest, SaveReplacesTheWholeFile) {
    files.files[configPath()] = readFixture("hand_edited.xml") + std::string(4000, ' ');
    DownloadSettings s;
    s.saveFolder = "C:\\Program Files\\Vexaro\\Download";
    ASSERT_TRUE(vx::saveSettings(s, install, files));
    EXPECT_EQ(files.files[configPath()], readFixture("defaults.xml"));
}

TEST(SettingsOnDisk, SaveAndLoadThroughTheRealFileSystem) {
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / ("vx_settings_" + std::to_string(::getpid()));
    fs::create_directories(root);
    struct Cleanup {
        fs::path p;
        ~Cleanup() { fs::remove_all(p); }
    } cleanup{root};
    FakeInstall install;
    install.folder = root.string();
    install.registry = "C:\\Vexaro";

    ASSERT_TRUE(vx::saveSettings(allOptions(), install, vx::platformFileSystem()));
    EXPECT_EQ(vx::platformFileSystem().readFile((root / "config.xml").string()),
              readFixture("all_options.xml"));
    DownloadSettings s;
    vx::initSettings(s, install, vx::platformFileSystem());
    EXPECT_EQ(s, allOptions());

    // A folder where the file should be: the save fails with the system's code.
    FakeInstall blocked;
    blocked.folder = (root / "blocked").string();
    fs::create_directories(root / "blocked" / "config.xml");
    uint32_t error = 0;
    EXPECT_FALSE(vx::saveSettings(allOptions(), blocked, vx::platformFileSystem(), &error));
    EXPECT_NE(error, 0u);
}

TEST(SharedDownloadSettings, ReaderAlwaysSeesAWholeRecord) {
    vx::SharedDownloadSettings shared;
    std::atomic<bool> done{false};
    std::thread sheet([&] {
        for (int i = 1; i <= 500; ++i) {
            DownloadSettings s;
            s.saveFolder = "D:\\" + std::to_string(i);
            s.largerThanKB = i;
            s.resolutions.assign(static_cast<size_t>(i % 7), ResolutionCap{i, i});
            shared.set(s);
        }
        done = true;
    });
    int torn = 0;
    while (!done.load()) {
        DownloadSettings s = shared.get();
        if (s.saveFolder.empty())
            continue;
        const int i = s.largerThanKB;
        if (s.saveFolder != "D:\\" + std::to_string(i) || s.resolutions.size() != size_t(i % 7))
            ++torn;
    }
    sheet.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(shared.get().largerThanKB, 500);
}

}  // namespace

namespace vx {
namespace {

// Two sheets open over one record: each one's changes survive the other's closing.
TEST(SharedDownloadSettings, TwoEditorsKeepEachOthersChanges) {
    SharedDownloadSettings shared;
    DownloadSettings start;
    start.saveFolder = "C:\\Media";
    start.resolutions = {{640, 480}};
    shared.set(start);

    DownloadSettings first = shared.get();
    DownloadSettings second = shared.get();
    first.typeMp3 = 1;
    first.resolutions.push_back({800, 600});
    second.saveFolder = "D:\\Elsewhere";
    second.largerThanKB = 10;

    shared.applyChanges(start, first);
    DownloadSettings stored = shared.applyChanges(start, second);

    EXPECT_EQ(stored.typeMp3, 1);
    EXPECT_EQ(stored.resolutions, (std::vector<ResolutionCap>{{640, 480}, {800, 600}}));
    EXPECT_EQ(stored.saveFolder.str(), "D:\\Elsewhere");
    EXPECT_EQ(stored.largerThanKB, 10);
    EXPECT_EQ(shared.get(), stored);
    // A field both changed ends as the editor that closed last left it.
    DownloadSettings third = shared.get();
    third.typeMp3 = 0;
    EXPECT_EQ(shared.applyChanges(stored, third).typeMp3, 0);
    // Nothing changed: nothing is taken.
    EXPECT_EQ(mergeSettingsChanges(start, start, stored), stored);
}

}  // namespace
}  // namespace vx

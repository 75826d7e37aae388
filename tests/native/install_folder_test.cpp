#include "base/install_folder.h"

#include <gtest/gtest.h>

#include "base/file_system.h"
#include "base/mbcs.h"

namespace vx {
namespace {

struct Case {
    const char* modulePath;
    const char* expected;
};

class InstallFolder : public ::testing::Test {
  protected:
    void TearDown() override { mbcs::useSingleByte(); }
};

TEST_F(InstallFolder, CutAfterTheLastBackslash) {
    const Case cases[] = {
        {"C:\\Program Files\\Vexaro\\Vexaro.exe", "C:\\Program Files\\Vexaro\\"},
        {"C:\\Vexaro.exe", "C:\\"},
        {"\\\\server\\share\\Vexaro.exe", "\\\\server\\share\\"},
        {"C:\\folder\\", "C:\\folder\\"},
        // Forward slashes are no separators here.
        {"C:/apps\\x/Vexaro.exe", "C:/apps\\"},
        // Without any backslash the whole path comes back.
        {"Vexaro.exe", "Vexaro.exe"},
        {"C:/apps/Vexaro.exe", "C:/apps/Vexaro.exe"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(installFolderFromModulePath(c.modulePath), c.expected) << c.modulePath;
    }
}

TEST_F(InstallFolder, TrailByteOfADoubleByteCharacterIsNoSeparator) {
    // 0x95 0x5C is one character under code page 936: its second byte has the value of '\'.
    const std::string path = "C:\\\xC8\xED\xBC\xFE\\app\x95\\.exe";
    mbcs::useCodePage936();
    const Case cases[] = {
        {"C:\\\xC8\xED\xBC\xFE\\app\x95\\.exe", "C:\\\xC8\xED\xBC\xFE\\"},
        {"C:\\dir\x81\\", "C:\\"},
        {"\x95\\Vexaro.exe", "\x95\\Vexaro.exe"},  // the only '\' is a trail byte
        {"C:\\a\\b\x81", "C:\\a\\"},               // a lead byte without its trail byte
        {"C:\\a\x81", "C:\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(installFolderFromModulePath(c.modulePath), c.expected) << c.modulePath;
    }
    // The same bytes in a single-byte code page: every 0x5C is a separator.
    mbcs::useSingleByte();
    EXPECT_EQ(installFolderFromModulePath(path), "C:\\\xC8\xED\xBC\xFE\\app\x95\\");
}

TEST_F(InstallFolder, AFolderWithoutBackslashGetsOneBeforeTheFileName) {
    // The install folder of a path without separators is the whole path; names appended to it
    // still get a separator of their own.
    std::string folder = installFolderFromModulePath("Vexaro.exe");
    EXPECT_EQ(joinPath(folder, "cacheurl.xml"),
              std::string("Vexaro.exe") + pathSeparator() + "cacheurl.xml");
}

TEST_F(InstallFolder, ADoubleByteTrailByteIsNotASeparator) {
    const char sep = pathSeparator();
    // In code page 936 the lead byte 0x81 takes the byte after it, whatever its value.
    mbcs::useCodePage936();
    const std::string dbcsEnd = std::string("C:") + sep + "dir\x81" + sep;
    EXPECT_FALSE(endsWithSeparator(dbcsEnd));
    EXPECT_EQ(joinPath(dbcsEnd, "a.jpg"), dbcsEnd + sep + "a.jpg");
    const std::string realEnd = std::string("C:") + sep + "dir\x81\x40" + sep;
    EXPECT_TRUE(endsWithSeparator(realEnd));
    EXPECT_EQ(joinPath(realEnd, "a.jpg"), realEnd + "a.jpg");
    EXPECT_FALSE(endsWithSeparator(""));
    // Single-byte: the same bytes end with a separator.
    mbcs::useSingleByte();
    EXPECT_TRUE(endsWithSeparator(dbcsEnd));
    EXPECT_EQ(joinPath(dbcsEnd, "a.jpg"), dbcsEnd + "a.jpg");
}

}  // namespace
}  // namespace vx

// OpenUrl and ReadRegistryDefault for real under Wine: the shell first, the ".htm" program's
// command line when the shell cannot open the address. A stub program records how it was started.

#include "update/win/open_url.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "win_test_util.h"

namespace {

const char kFileType[] = "VexaroTest.htmfile";
const char kProtocol[] = "vxtestproto";
// No program is registered for this scheme, so the shell cannot open its addresses.
const char kUnopenable[] = "vxnoassoc://www.example.org/page.htm";

std::string stubCommand(const std::string& word) {
    return "\"" + wintest::besideTestProgram("stub-vexaro.exe") + "\" " + word + " \"%1\"";
}

bool setDefault(HKEY root, const std::string& subKey, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc =
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

class OpenUrlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        record_.remove();
        ASSERT_TRUE(htm_.setString(kFileType));
        ASSERT_TRUE(setDefault(HKEY_CLASSES_ROOT, std::string(kFileType) + "\\shell\\open\\command",
                               stubCommand("fallback")));
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kFileType);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kProtocol);
    }

    // The command lines the stub was started with, once `lines` have been recorded.
    std::string recorded(int lines) {
        std::string text;
        wintest::waitFor([&] {
            text = record_.read().value_or("");
            int n = 0;
            for (char c : text)
                n += c == '\n';
            return n >= lines;
        });
        return text;
    }

    wintest::RegistryValueGuard htm_{HKEY_CLASSES_ROOT, ".htm", ""};
    wintest::ProgramFolderFile record_{"commandline.txt"};
};

TEST_F(OpenUrlTest, WhenTheShellCannotOpenTheHtmProgramGetsTheAddressAfterTwoBlanks) {
    const INT_PTR result = vx::OpenUrl(kUnopenable, SW_SHOW);
    EXPECT_GT(result, 32);
    const std::string expected =
        "\"" + wintest::besideTestProgram("stub-vexaro.exe") + "\" fallback  " + kUnopenable + "\n";
    EXPECT_EQ(recorded(1), expected);
}

TEST_F(OpenUrlTest, ACommandLineBeyond519CharactersRunsNothing) {
    const std::string longAddress = std::string(kUnopenable) + "?" + std::string(520, 'q');
    const INT_PTR result = vx::OpenUrl(longAddress, SW_SHOW);
    EXPECT_LE(result, 32);
    EXPECT_FALSE(record_.read());
}

TEST_F(OpenUrlTest, WithoutHtmAssociationTheShellsFailureIsTheResult) {
    ASSERT_TRUE(htm_.remove());
    const INT_PTR result = vx::OpenUrl(kUnopenable, SW_SHOW);
    EXPECT_LE(result, 32);
    EXPECT_FALSE(record_.read());
}

TEST_F(OpenUrlTest, AnAddressTheShellOpensNeverReachesTheHtmProgram) {
    const std::string protocol = kProtocol;
    ASSERT_TRUE(setDefault(HKEY_CLASSES_ROOT, protocol, "URL:Vexaro test"));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kProtocol, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "URL Protocol", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
    ASSERT_TRUE(
        setDefault(HKEY_CLASSES_ROOT, protocol + "\\shell\\open\\command", stubCommand("shell")));

    const std::string address = protocol + "://www.example.org/";
    EXPECT_GT(vx::OpenUrl(address, SW_SHOW), 32);
    const std::string lines = recorded(1);
    EXPECT_NE(lines.find(" shell "), std::string::npos) << lines;
    EXPECT_EQ(lines.find("fallback"), std::string::npos) << lines;
}

class ReadRegistryDefaultTest : public ::testing::Test {
  protected:
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\VexaroTest"); }
};

TEST_F(ReadRegistryDefaultTest, ReadsTheDefaultValueOfAKey) {
    wintest::RegistryValueGuard value(HKEY_CURRENT_USER, "Software\\VexaroTest\\Default", "");
    ASSERT_TRUE(value.setString("VexaroTest.htmfile"));
    std::string text = "old";
    EXPECT_EQ(vx::ReadRegistryDefault(HKEY_CURRENT_USER, "Software\\VexaroTest\\Default", text),
              ERROR_SUCCESS);
    EXPECT_EQ(text, "VexaroTest.htmfile");
}

TEST_F(ReadRegistryDefaultTest, AMissingKeyOrATooLongValueIsAnErrorCode) {
    std::string text = "kept";
    EXPECT_EQ(vx::ReadRegistryDefault(HKEY_CURRENT_USER, "Software\\VexaroTest\\Missing", text),
              ERROR_FILE_NOT_FOUND);
    wintest::RegistryValueGuard value(HKEY_CURRENT_USER, "Software\\VexaroTest\\Long", "");
    ASSERT_TRUE(value.setString(std::string(260, 'x')));
    EXPECT_NE(vx::ReadRegistryDefault(HKEY_CURRENT_USER, "Software\\VexaroTest\\Long", text),
              ERROR_SUCCESS);
    EXPECT_EQ(text, "kept");
    // 259 characters and the terminator fill the buffer exactly.
    ASSERT_TRUE(value.setString(std::string(259, 'y')));
    EXPECT_EQ(vx::ReadRegistryDefault(HKEY_CURRENT_USER, "Software\\VexaroTest\\Long", text),
              ERROR_SUCCESS);
    EXPECT_EQ(text, std::string(259, 'y'));
}

}  // namespace

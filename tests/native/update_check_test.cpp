// The update check without its window: reading the version file, the comparison with 1.2.0, what
// each answer means and shows, and where the server is.

#include "update/update_check.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vx::ProgramVersion;
using vx::UpdateCheckResult;
using vx::UpdateCheckState;

TEST(VersionFile, DigitsAtOffsetsZeroTwoAndFour) {
    EXPECT_EQ(vx::parseVersionFile("1.2.1"), (ProgramVersion{1, 2, 1}));
    EXPECT_EQ(vx::parseVersionFile("2.0.0\r\n"), (ProgramVersion{2, 0, 0}));
    // The separators are not examined.
    EXPECT_EQ(vx::parseVersionFile("3x4y5"), (ProgramVersion{3, 4, 5}));
}

TEST(VersionFile, MultiDigitComponentsReadAsTheirFirstCharacters) {
    // Minor is the "1" at offset 2, build the "." at offset 4.
    EXPECT_EQ(vx::parseVersionFile("1.10.0"), (ProgramVersion{1, 1, 0}));
}

TEST(VersionFile, NonDigitsAndMissingCharactersCountAsZero) {
    EXPECT_EQ(vx::parseVersionFile("a.b.c"), (ProgramVersion{0, 0, 0}));
    EXPECT_EQ(vx::parseVersionFile("1.3"), (ProgramVersion{1, 3, 0}));
    EXPECT_EQ(vx::parseVersionFile("2"), (ProgramVersion{2, 0, 0}));
    EXPECT_EQ(vx::parseVersionFile(""), (ProgramVersion{0, 0, 0}));
    EXPECT_EQ(vx::parseVersionFile(std::string("1\0"
                                               "3\0"
                                               "4",
                                               5)),
              (ProgramVersion{1, 3, 4}));
}

TEST(VersionFile, VersionTextIsDottedDecimal) {
    EXPECT_EQ(vx::versionText(vx::kProgramVersion), "1.2.0");
}

TEST(VersionCompare, NewerThanTheProgramInOrderMajorMinorBuild) {
    struct Case {
        ProgramVersion remote;
        bool newer;
    };
    const Case cases[] = {
        {{1, 2, 0}, false}, {{1, 2, 1}, true},  {{1, 3, 0}, true},  {{2, 0, 0}, true},
        {{0, 9, 9}, false}, {{1, 1, 9}, false}, {{1, 1, 0}, false}, {{0, 0, 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vx::isNewerVersion(c.remote), c.newer) << vx::versionText(c.remote);
}

TEST(UpdateAnswer, OnlyA2xxAnswerWithALengthIsAVersionFile) {
    EXPECT_EQ(vx::judgeAnswer(200, true, "1.3.0"),
              (UpdateCheckResult{UpdateCheckState::NewerAvailable, {1, 3, 0}}));
    EXPECT_EQ(vx::judgeAnswer(203, true, "1.2.0").state, UpdateCheckState::Current);
    EXPECT_EQ(vx::judgeAnswer(200, false, "1.3.0").state, UpdateCheckState::NoVersionInfo);
    EXPECT_EQ(vx::judgeAnswer(404, true, "2.0.0").state, UpdateCheckState::NoVersionInfo);
    EXPECT_EQ(vx::judgeAnswer(302, true, "2.0.0").state, UpdateCheckState::NoVersionInfo);
    EXPECT_EQ(vx::judgeAnswer(500, true, "<html>").state, UpdateCheckState::NoVersionInfo);
    EXPECT_EQ(vx::judgeAnswer(0, true, "2.0.0").state, UpdateCheckState::NoVersionInfo);
}

TEST(UpdateAnswer, InformationTextOfEachOutcome) {
    EXPECT_EQ(vx::informationText({UpdateCheckState::Connecting, {}}),
              "Connecting download server, please wait...");
    EXPECT_EQ(vx::informationText({UpdateCheckState::ConnectFailed, {}}),
              "Unable to connect to download server");
    EXPECT_EQ(vx::informationText({UpdateCheckState::NoVersionInfo, {}}),
              "Unable to query version information.");
    EXPECT_EQ(vx::informationText({UpdateCheckState::Current, {1, 2, 0}}),
              "You already have the latest version of Vexaro.");
    EXPECT_EQ(vx::informationText({UpdateCheckState::NewerAvailable, {2, 0, 1}}),
              "Version 2.0.1 is available now, click the button below to download.");
}

TEST(UpdateServerValue, EmptyMeansTheHostOfTheHomePage) {
    EXPECT_EQ(vx::parseUpdateServer(""), (vx::UpdateServer{"www.norlume.com", 0}));
}

TEST(UpdateServerValue, HostWithOrWithoutPort) {
    EXPECT_EQ(vx::parseUpdateServer("updates.example.org"),
              (vx::UpdateServer{"updates.example.org", 0}));
    EXPECT_EQ(vx::parseUpdateServer("127.0.0.1:8080"), (vx::UpdateServer{"127.0.0.1", 8080}));
    EXPECT_EQ(vx::parseUpdateServer("[::1]:65535"), (vx::UpdateServer{"::1", 65535}));
    EXPECT_EQ(vx::parseUpdateServer("[::1]"), (vx::UpdateServer{"::1", 0}));
}

TEST(UpdateServerValue, ValuesThatNameNoServer) {
    for (const char* bad :
         {":80", "host:", "host:0", "host:65536", "host:80x", "host:-1", "host: 80", "::1", "[::1",
          "[::1]80", "[]:80", "a b", "h/x", "user@host"})
        EXPECT_EQ(vx::parseUpdateServer(bad), std::nullopt) << bad;
}

TEST(UpdateServerValue, HostOfAnAddress) {
    EXPECT_EQ(vx::hostOfAddress("http://www.norlume.com/vexaro/"), "www.norlume.com");
    EXPECT_EQ(vx::hostOfAddress("http://u:p@example.org:81/x"), "example.org");
    EXPECT_EQ(vx::hostOfAddress("http://[::1]:81/"), "::1");
    EXPECT_EQ(vx::hostOfAddress("example.org"), "example.org");
}

}  // namespace

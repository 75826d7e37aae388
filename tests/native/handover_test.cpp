#include "toolbar/handover.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vx::installFolderFromValue;

std::optional<std::string> fromText(const std::string& stored) {
    return installFolderFromValue(true, stored.data(), stored.size());
}

TEST(InstallPathValue, TakesTheTextUpToItsNul) {
    EXPECT_EQ(fromText(std::string("C:\\Vexaro\0", 10)), "C:\\Vexaro");
    EXPECT_EQ(fromText(std::string("C:\\Vexaro\\\0", 11)), "C:\\Vexaro\\") << "used as stored";
    EXPECT_EQ(fromText(std::string("\0", 1)), "");
}

TEST(InstallPathValue, ValueJustShorterThanTheBufferIsTaken) {
    std::string stored(vx::kInstallPathBytes - 2, 'a');
    stored += '\0';
    EXPECT_EQ(fromText(stored), std::string(vx::kInstallPathBytes - 2, 'a'));
}

TEST(InstallPathValue, ValueWithoutItsNulIsTreatedAsMissing) {
    EXPECT_EQ(fromText("C:\\Vexaro"), std::nullopt);
    EXPECT_EQ(fromText(std::string(vx::kInstallPathBytes - 1, 'a')), std::nullopt);
}

TEST(InstallPathValue, ValuesOf260BytesOrMoreAreTreatedAsMissing) {
    std::string filling(vx::kInstallPathBytes - 1, 'a');
    filling += '\0';
    EXPECT_EQ(fromText(filling), std::nullopt) << "no room left for a NUL the API did not add";
    EXPECT_EQ(fromText(std::string(vx::kInstallPathBytes, 'a')), std::nullopt);
    EXPECT_EQ(fromText(std::string(vx::kInstallPathBytes + 1, '\0')), std::nullopt);
}

TEST(InstallPathValue, OtherTypesAndEmptyReadsAreTreatedAsMissing) {
    const std::string stored("C:\\Vexaro\0", 10);
    EXPECT_EQ(installFolderFromValue(false, stored.data(), stored.size()), std::nullopt);
    EXPECT_EQ(installFolderFromValue(true, stored.data(), 0), std::nullopt);
    EXPECT_EQ(installFolderFromValue(true, nullptr, 5), std::nullopt);
}

TEST(HandOverPaths, JoinTheFolderAsStored) {
    EXPECT_EQ(vx::vexaroExecutablePath("C:\\Vexaro"), "C:\\Vexaro\\Vexaro.exe");
    EXPECT_EQ(vx::handOverFilePath("C:\\Vexaro\\"), "C:\\Vexaro\\\\cacheurl.xml");
}

TEST(HandOverText, KeepsTheAddressVerbatimBetweenTheTags) {
    const std::string address = "http://host/a%20b/?x=1&y=<2>";
    EXPECT_EQ(vx::handOverText(address),
              "<URLCACHE>\n<URL>http://host/a%20b/?x=1&y=<2></URL>\n</URLCACHE>");
    EXPECT_EQ(vx::handOverBytes(address),
              "<URLCACHE>\r\n<URL>http://host/a%20b/?x=1&y=<2></URL>\r\n</URLCACHE>");
    EXPECT_EQ(vx::handOverBytes(""), "<URLCACHE>\r\n<URL></URL>\r\n</URLCACHE>");
}

}  // namespace

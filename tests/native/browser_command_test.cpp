// The ".htm" fallback's command line: the registered command cut at its "%1", a blank and the
// address, in 520 characters or not at all.

#include "update/browser_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kUrl[] = "http://www.norlume.com/vexaro/download.htm";

TEST(BrowserCommand, QuotedPlaceholderIsCutAtItsQuoteLeavingTwoBlanks) {
    EXPECT_EQ(vx::browserCommandLine("\"C:\\Browser\\browse.exe\" -nohome \"%1\"", kUrl),
              std::string("\"C:\\Browser\\browse.exe\" -nohome  ") + kUrl);
}

TEST(BrowserCommand, BarePlaceholderIsCutAtItsPercentSign) {
    EXPECT_EQ(vx::browserCommandLine("C:\\browse.exe %1 -new", kUrl),
              std::string("C:\\browse.exe  ") + kUrl);
}

TEST(BrowserCommand, QuotedPlaceholderWinsOverAnEarlierBareOne) {
    EXPECT_EQ(vx::browserCommandLine("b.exe %1x \"%1\"", kUrl), std::string("b.exe %1x  ") + kUrl);
}

TEST(BrowserCommand, WithoutPlaceholderTheAddressIsAppended) {
    EXPECT_EQ(vx::browserCommandLine("C:\\browse.exe -nohome", kUrl),
              std::string("C:\\browse.exe -nohome ") + kUrl);
}

TEST(BrowserCommand, FillsTheBufferExactlyButNeverCutsOrOverflows) {
    const std::string url = "http://h/";
    // 519 characters and the terminator fit.
    const std::string fits(519 - 1 - url.size(), 'c');
    auto line = vx::browserCommandLine(fits, url);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->size(), 519u);
    EXPECT_EQ(vx::browserCommandLine(fits + "c", url), std::nullopt);
    EXPECT_EQ(vx::browserCommandLine("b.exe", std::string(600, 'u')), std::nullopt);
    // Only what is kept of the command counts.
    EXPECT_TRUE(vx::browserCommandLine("b.exe \"%1\"" + std::string(600, ' '), url));
}

}  // namespace

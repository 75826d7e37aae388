#include "base/string_table.h"

#include <gtest/gtest.h>

#include <set>

#include "resources/resource.h"

namespace vx {
namespace {

TEST(StringTable, UrlListMessagesAreTheProgramsOwnTexts) {
    EXPECT_STREQ(stringText(IDS_READ_URL_CACHE_FAILED), "Unable to read url cache file: %s");
    EXPECT_STREQ(stringText(IDS_MEMORY_NOT_ENOUGH),
                 "Memory not enouth.Please close some other application and try again.");
    EXPECT_STREQ(stringText(IDS_PARSE_URL_CACHE_FAILED),
                 "Error occured while parsing url cache file, please try again.");
}

TEST(StringTable, IdsKeepTheNumbersOtherVersionsUse) {
    EXPECT_EQ(IDR_MAINFRAME, 128);
    EXPECT_EQ(IDS_MEMORY_NOT_ENOUGH, 57665);
    EXPECT_EQ(IDS_READ_URL_CACHE_FAILED, 57666);
    EXPECT_EQ(IDS_PARSE_URL_CACHE_FAILED, 57667);
}

TEST(StringTable, UnknownIdHasNoText) {
    EXPECT_EQ(stringText(0), nullptr);
    EXPECT_EQ(stringText(-1), nullptr);
    EXPECT_EQ(stringText(IDR_MAINFRAME), nullptr);
}

TEST(StringTable, EveryEntryIsReachableByItsId) {
    std::set<int> seen;
    for (const StringEntry& entry : stringTable()) {
        EXPECT_TRUE(seen.insert(entry.id).second) << "id " << entry.id << " listed twice";
        ASSERT_NE(entry.text, nullptr);
        EXPECT_EQ(stringText(entry.id), entry.text) << "id " << entry.id;
        // Printable ASCII and line ends only: the two compilers read nothing else alike.
        for (const char* p = entry.text; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            EXPECT_TRUE((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t')
                << "id " << entry.id << " byte " << int(c);
        }
    }
    EXPECT_GE(seen.size(), 3u);
}

TEST(FormatText, FillsConversionsInOrder) {
    EXPECT_EQ(formatText("Unable to read url cache file: %s", {"cacheurl.xml"}),
              "Unable to read url cache file: cacheurl.xml");
    EXPECT_EQ(formatText("%s and %d", {"a", "42"}), "a and 42");
    EXPECT_EQ(formatText("%5.2f|%ld|%-3s", {"x", "y", "z"}), "x|y|z");
}

TEST(FormatText, PercentSignsAndBrokenPatterns) {
    struct Case {
        const char* pattern;
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {"%d%% Complete", {"50"}, "50% Complete"},
        {"100%", {}, "100%"},  // a '%' at the very end stands for itself
        {"5%!", {}, "5%!"},    // no conversion letter: the '%' stands for itself
        {"%", {"x"}, "%"},
        {"%5", {"x"}, "%5"},           // digits up to the end: no conversion letter
        {"%s%s%s", {"a"}, "a"},        // missing arguments become empty
        {"%s", {"a", "b", "c"}, "a"},  // surplus arguments are ignored
        {"no conversions", {"a"}, "no conversions"},
        {"", {"a"}, ""},
        {"%s", {"%s %d"}, "%s %d"},  // argument texts are never read as patterns
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatText(c.pattern, c.args), c.expected) << "pattern: " << c.pattern;
    }
}

}  // namespace
}  // namespace vx

#include "base/mbcs.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace mbcs = vx::mbcs;

class MbcsTable : public ::testing::Test {
  protected:
    void TearDown() override { mbcs::useSingleByte(); }
};

int countLeadBytes() {
    int count = 0;
    for (int b = 0; b < 256; ++b) {
        count += mbcs::isLeadByte(static_cast<unsigned char>(b)) ? 1 : 0;
    }
    return count;
}

TEST_F(MbcsTable, SingleByteByDefault) {
    EXPECT_EQ(countLeadBytes(), 0);
    const std::string text = "\x81\x40\xFE";
    EXPECT_EQ(mbcs::charLength(text, 0), 1u);
    EXPECT_EQ(mbcs::charLength(text, 2), 1u);
}

TEST_F(MbcsTable, CodePage936LeadBytes) {
    mbcs::useCodePage936();
    EXPECT_EQ(countLeadBytes(), 0xFE - 0x81 + 1);
    EXPECT_FALSE(mbcs::isLeadByte(0x80));
    EXPECT_TRUE(mbcs::isLeadByte(0x81));
    EXPECT_TRUE(mbcs::isLeadByte(0xFE));
    EXPECT_FALSE(mbcs::isLeadByte(0xFF));
    EXPECT_FALSE(mbcs::isLeadByte('<'));
}

TEST_F(MbcsTable, CharLengthNeverLeavesTheText) {
    mbcs::useCodePage936();
    const std::string text = "a\xB0\xA1\x81";
    EXPECT_EQ(mbcs::charLength(text, 0), 1u);
    EXPECT_EQ(mbcs::charLength(text, 1), 2u);
    // The trail byte alone is stepped as one byte, as the platform's stepping does.
    EXPECT_EQ(mbcs::charLength(text, 2), 2u);
    EXPECT_EQ(mbcs::charLength(text, 3), 1u);
    EXPECT_EQ(mbcs::charLength(text, 4), 0u);
    EXPECT_EQ(mbcs::charLength(text, 99), 0u);
    EXPECT_EQ(mbcs::charLength(text.data(), 2, 1), 1u);
    EXPECT_EQ(mbcs::charLength(nullptr, 0, 0), 0u);
    // Any byte after a lead byte completes the character, even one that is markup.
    EXPECT_EQ(mbcs::charLength(std::string("\x81>"), 0), 2u);
}

TEST_F(MbcsTable, RangesInPlatformLayout) {
    // Pairs as the platform reports them, ended by a zero pair; what follows it is ignored.
    const unsigned char ranges[12] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0, 0x20, 0x30};
    mbcs::setLeadByteRanges(ranges, sizeof ranges);
    EXPECT_EQ(countLeadBytes(), (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1));
    EXPECT_TRUE(mbcs::isLeadByte(0x9F));
    EXPECT_FALSE(mbcs::isLeadByte(0xA0));
    EXPECT_TRUE(mbcs::isLeadByte(0xE0));
    EXPECT_FALSE(mbcs::isLeadByte(0xFD));
    EXPECT_FALSE(mbcs::isLeadByte(0x25));
}

TEST_F(MbcsTable, NewRangesReplaceTheOldAndBadRangesAreIgnored) {
    mbcs::useCodePage936();
    const unsigned char ranges[] = {0xA1, 0xA2, 0xF0, 0xE0, 0xC0};
    mbcs::setLeadByteRanges(ranges, sizeof ranges);
    EXPECT_EQ(countLeadBytes(), 2);
    EXPECT_TRUE(mbcs::isLeadByte(0xA2));
    EXPECT_FALSE(mbcs::isLeadByte(0xC0));
    mbcs::setLeadByteRanges(nullptr, 4);
    EXPECT_EQ(countLeadBytes(), 0);
}

}  // namespace

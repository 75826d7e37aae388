#include "app/album_message.h"

#include <gtest/gtest.h>

namespace {

using vx::albumFailureMessage;

TEST(AlbumFailureMessage, SystemTextLosesItsLineBreak) {
    EXPECT_EQ(albumFailureMessage(0x80070005, std::string("Access denied.\r\n")), "Access denied.");
    EXPECT_EQ(albumFailureMessage(0x80040205, std::string("Own text\n")), "Own text");
}

TEST(AlbumFailureMessage, WithoutSystemTextDispatchCodesAreNumberedFrom0x80040200) {
    struct Case {
        uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {0x80040201, "IDispatch error #1"},       {0x80040205, "IDispatch error #5"},
        {0x8004FFFF, "IDispatch error #65023"},   {0x80040200, "Unknown error 0x80040200"},
        {0x80050000, "Unknown error 0x80050000"}, {0x00000001, "Unknown error 0x1"},
        {0x8007000E, "Unknown error 0x8007000E"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(albumFailureMessage(c.code, std::nullopt), c.text) << std::hex << c.code;
        EXPECT_EQ(albumFailureMessage(c.code, std::string()), c.text) << std::hex << c.code;
    }
}

}  // namespace

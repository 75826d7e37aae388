#include "download/filters.h"

#include <gtest/gtest.h>

#include "settings/download_settings.h"

namespace vx {
namespace {

DownloadSettings sizeWindow(int lowerOn, int lowerKB, int upperOn, int upperKB) {
    DownloadSettings s;
    s.limitFileSize = 1;
    s.largerThanOn = lowerOn;
    s.largerThanKB = lowerKB;
    s.smallerThanOn = upperOn;
    s.smallerThanKB = upperKB;
    return s;
}

TEST(SizeFilter, DefaultSettingsFilterNothing) {
    DownloadSettings defaults;
    for (uint64_t size : {0ull, 1ull, 255999ull, 256000ull, 1ull << 40})
        EXPECT_FALSE(isSizeFiltered(defaults, size)) << size;
}

TEST(SizeFilter, LowerBoundAloneKeepsFilesOfAtLeastItsSize) {
    DownloadSettings s = sizeWindow(1, 250, 0, 0);
    EXPECT_TRUE(isSizeFiltered(s, 0));
    EXPECT_TRUE(isSizeFiltered(s, 255999));
    // Exactly the bound passes: the disabled upper bound takes no part.
    EXPECT_FALSE(isSizeFiltered(s, 256000));
    EXPECT_FALSE(isSizeFiltered(s, 256001));
}

TEST(SizeFilter, ADisabledBoundsStoredValueIsIgnored) {
    // The settings page keeps the last value typed into a disabled field.
    DownloadSettings lowerOnly = sizeWindow(1, 100, 0, 500);
    EXPECT_FALSE(isSizeFiltered(lowerOnly, 300 * 1024));
    EXPECT_FALSE(isSizeFiltered(lowerOnly, 512000));
    DownloadSettings upperOnly = sizeWindow(0, 100, 1, 500);
    EXPECT_FALSE(isSizeFiltered(upperOnly, 50 * 1024));
    EXPECT_FALSE(isSizeFiltered(upperOnly, 100 * 1024));
    EXPECT_TRUE(isSizeFiltered(upperOnly, 512001));
}

TEST(SizeFilter, UpperBoundAloneKeepsFilesOfAtMostItsSize) {
    DownloadSettings s = sizeWindow(0, 250, 1, 100);
    EXPECT_FALSE(isSizeFiltered(s, 0));
    EXPECT_FALSE(isSizeFiltered(s, 102400));
    EXPECT_TRUE(isSizeFiltered(s, 102401));
}

TEST(SizeFilter, BothBoundsAsAWindow) {
    DownloadSettings s = sizeWindow(1, 100, 1, 500);
    EXPECT_TRUE(isSizeFiltered(s, 102400));
    EXPECT_FALSE(isSizeFiltered(s, 102401));
    EXPECT_FALSE(isSizeFiltered(s, 511999));
    EXPECT_TRUE(isSizeFiltered(s, 512000));
    EXPECT_TRUE(isSizeFiltered(s, 0));
}

TEST(SizeFilter, BothBoundsExcludingAMiddleBand) {
    DownloadSettings s = sizeWindow(1, 500, 1, 100);
    EXPECT_TRUE(isSizeFiltered(s, 300 * 1024));
    EXPECT_TRUE(isSizeFiltered(s, 100 * 1024));
    EXPECT_TRUE(isSizeFiltered(s, 500 * 1024));
    EXPECT_FALSE(isSizeFiltered(s, 50 * 1024));
    EXPECT_FALSE(isSizeFiltered(s, 600 * 1024));
}

TEST(SizeFilter, EqualBoundsFilterEverything) {
    DownloadSettings s = sizeWindow(1, 200, 1, 200);
    for (uint64_t size : {0ull, 204799ull, 204800ull, 204801ull, 1ull << 33})
        EXPECT_TRUE(isSizeFiltered(s, size)) << size;
}

TEST(SizeFilter, OnWithNeitherBoundFiltersNothing) {
    // Only a hand-edited config.xml can say this.
    DownloadSettings s = sizeWindow(0, 250, 0, 0);
    for (uint64_t size : {0ull, 256000ull, 1ull << 32})
        EXPECT_FALSE(isSizeFiltered(s, size));
}

TEST(SizeFilter, LargeBoundsDoNotWrapAround) {
    // 4,194,304 KB is 4 GiB, one past what 32 bits hold.
    DownloadSettings s = sizeWindow(1, 4194304, 0, 0);
    EXPECT_TRUE(isSizeFiltered(s, 1));
    EXPECT_TRUE(isSizeFiltered(s, (1ull << 32) - 1));
    EXPECT_FALSE(isSizeFiltered(s, 1ull << 32));
    DownloadSettings upper = sizeWindow(0, 0, 1, 0x7FFFFFFF);
    EXPECT_FALSE(isSizeFiltered(upper, 1ull << 40));
}

TEST(SizeFilter, NegativeBoundsFromAHandEditedFileCountAsZero) {
    DownloadSettings s = sizeWindow(1, -5, 0, 0);
    EXPECT_FALSE(isSizeFiltered(s, 0));
    DownloadSettings upper = sizeWindow(0, 0, 1, -5);
    EXPECT_FALSE(isSizeFiltered(upper, 0));
    EXPECT_TRUE(isSizeFiltered(upper, 1));
}

TEST(ResolutionFilter, ExactMatchesOnly) {
    DownloadSettings s;
    s.limitResolution = 1;
    s.resolutions = {{640, 480}, {800, 600}};
    EXPECT_TRUE(isResolutionExcluded(s, 800, 600));
    EXPECT_TRUE(isResolutionExcluded(s, 640, 480));
    EXPECT_FALSE(isResolutionExcluded(s, 800, 601));
    EXPECT_FALSE(isResolutionExcluded(s, 480, 640));
    EXPECT_FALSE(isResolutionExcluded(s, 0, 0));
}

TEST(ResolutionFilter, OffOrEmptyExcludesNothing) {
    DownloadSettings off;
    off.resolutions = {{800, 600}};
    EXPECT_FALSE(isResolutionExcluded(off, 800, 600));
    DownloadSettings empty;
    empty.limitResolution = 1;
    EXPECT_FALSE(isResolutionExcluded(empty, 800, 600));
    EXPECT_FALSE(isResolutionExcluded(empty, 0, 0));
}

}  // namespace
}  // namespace vx

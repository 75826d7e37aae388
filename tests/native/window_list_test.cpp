// The main window's list without the window: the rows a fill gives from the open browser windows,
// the enabling rule of "&Download Now" and the addresses it hands over.

#include "app/window_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/fake_browser.h"

namespace {

using vx::test::FakeBrowser;
using vx::test::FakeWindow;

FakeWindow page(std::string title, std::string address) {
    FakeWindow window;
    window.address = std::move(address);
    window.title = std::move(title);
    return window;
}

// A folder window of the file manager, or a window that fails when it is read: it has a title,
// but gives no HTML document.
FakeWindow withoutDocument(std::string title) {
    FakeWindow window;
    window.title = std::move(title);
    return window;
}

vx::WindowListRow row(std::string title, std::string address, bool checked) {
    return vx::WindowListRow{std::move(title), std::move(address), checked};
}

TEST(WindowListFill, OneCheckedRowPerHtmlWindowInWindowOrder) {
    FakeBrowser source({
        page("Holiday photos", "http://127.0.0.1/album/index.html"),
        withoutDocument("C:\\Users"),
        page("Music", "http://127.0.0.1/music/"),
    });
    const std::vector<vx::WindowListRow> expected{
        row("Holiday photos", "http://127.0.0.1/album/index.html", true),
        row("Music", "http://127.0.0.1/music/", true),
    };
    EXPECT_EQ(vx::fillWindowList(source), expected);
}

TEST(WindowListFill, UntitledPageGetsThePlaceholderBytes) {
    FakeBrowser source({page("", "http://127.0.0.1/untitled/")});
    const auto rows = vx::fillWindowList(source);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].title, std::string("\xCE\xDE\xB1\xEA\xCC\xE2"));
    EXPECT_EQ(rows[0].address, "http://127.0.0.1/untitled/");
}

TEST(WindowListFill, TitlesKeepTheirBytes) {
    // A code-page title (cp1252 e acute) and one that happens to be made of blanks are shown as
    // they are: only a title with no bytes at all is replaced.
    EXPECT_EQ(vx::rowTitle("Caf\xE9 & bar"), "Caf\xE9 & bar");
    EXPECT_EQ(vx::rowTitle(" "), " ");
    EXPECT_EQ(vx::rowTitle(""), vx::kUntitledPageTitle);
}

TEST(WindowListFill, TwoWindowsOnOneAddressGiveTwoRows) {
    FakeBrowser source({
        page("First", "http://127.0.0.1/same.html"),
        page("Second", "http://127.0.0.1/same.html"),
    });
    const auto rows = vx::fillWindowList(source);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, "First");
    EXPECT_EQ(rows[1].title, "Second");
}

TEST(WindowListFill, UnreadableWindowCostsOnlyItself) {
    FakeBrowser source({
        page("Before", "http://a/"),
        withoutDocument("Broken"),
        page("After", "http://c/"),
    });
    const auto rows = vx::fillWindowList(source);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].address, "http://a/");
    EXPECT_EQ(rows[1].address, "http://c/");
}

TEST(WindowListFill, NoWindowsNoRows) {
    FakeBrowser none;
    EXPECT_TRUE(vx::fillWindowList(none).empty());
    FakeBrowser onlyFolders({withoutDocument("C:\\"), withoutDocument("D:\\")});
    EXPECT_TRUE(vx::fillWindowList(onlyFolders).empty());
}

TEST(DownloadNowRule, EnabledWhileAnyRowIsChecked) {
    EXPECT_FALSE(vx::downloadNowEnabled({}));
    EXPECT_FALSE(
        vx::downloadNowEnabled({row("a", "http://a/", false), row("b", "http://b/", false)}));
    EXPECT_TRUE(
        vx::downloadNowEnabled({row("a", "http://a/", false), row("b", "http://b/", true)}));
    EXPECT_TRUE(
        vx::downloadNowEnabled({row("a", "http://a/", true), row("b", "http://b/", false)}));
}

TEST(DownloadNowRule, UncheckingTheLastCheckedRowDisables) {
    std::vector<vx::WindowListRow> rows{row("a", "http://a/", false), row("b", "http://b/", true)};
    ASSERT_TRUE(vx::downloadNowEnabled(rows));
    rows[1].checked = false;
    EXPECT_FALSE(vx::downloadNowEnabled(rows));
}

TEST(DownloadNowRule, ReverseSelectOnNothingCheckedChecksAllAndEnables) {
    std::vector<vx::WindowListRow> rows{row("a", "http://a/", false), row("b", "http://b/", false)};
    vx::reverseSelection(rows);
    EXPECT_TRUE(rows[0].checked);
    EXPECT_TRUE(rows[1].checked);
    EXPECT_TRUE(vx::downloadNowEnabled(rows));
    vx::reverseSelection(rows);
    EXPECT_FALSE(vx::downloadNowEnabled(rows));
}

TEST(DownloadNowRule, ReverseSelectInvertsEachRow) {
    std::vector<vx::WindowListRow> rows{row("a", "http://a/", true), row("b", "http://b/", false),
                                        row("c", "http://c/", true)};
    vx::reverseSelection(rows);
    EXPECT_EQ(vx::checkedAddresses(rows), std::vector<std::string>{"http://b/"});
}

TEST(HandOver, CheckedAddressesOnceInRowOrder) {
    const std::vector<vx::WindowListRow> rows{
        row("x", "http://127.0.0.1/b.html", true), row("y", "http://127.0.0.1/a.html", false),
        row("z", "http://127.0.0.1/b.html", true), row("w", "http://127.0.0.1/c.html", true),
        row("v", "http://127.0.0.1/a.html", true),
    };
    const std::vector<std::string> expected{"http://127.0.0.1/b.html", "http://127.0.0.1/c.html",
                                            "http://127.0.0.1/a.html"};
    EXPECT_EQ(vx::checkedAddresses(rows), expected);
}

TEST(HandOver, RepeatsAreExactByteComparisons) {
    // Addresses differing in letter case or a trailing slash are different pages here.
    const std::vector<vx::WindowListRow> rows{
        row("1", "http://127.0.0.1/Page", true),
        row("2", "http://127.0.0.1/page", true),
        row("3", "http://127.0.0.1/page/", true),
        row("4", "http://127.0.0.1/page", true),
    };
    const std::vector<std::string> expected{"http://127.0.0.1/Page", "http://127.0.0.1/page",
                                            "http://127.0.0.1/page/"};
    EXPECT_EQ(vx::checkedAddresses(rows), expected);
}

TEST(HandOver, NothingCheckedHandsOverNothing) {
    EXPECT_TRUE(vx::checkedAddresses({}).empty());
    EXPECT_TRUE(vx::checkedAddresses({row("a", "http://a/", false)}).empty());
}

TEST(HandOver, AboutBlankAndEmptyAddressesStayAsListed) {
    // The list hands over what its rows show; the session decides what a page matches.
    const std::vector<vx::WindowListRow> rows{row("a", "about:blank", true), row("b", "", true)};
    const std::vector<std::string> expected{"about:blank", ""};
    EXPECT_EQ(vx::checkedAddresses(rows), expected);
}

}  // namespace

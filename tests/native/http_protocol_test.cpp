#include "download/posix/http_protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

namespace vx {
namespace {

TEST(Redirection, ResolvesAgainstTheAddressAskedFor) {
    EXPECT_EQ(resolveLocation("http://h/a/b.jpg", "http://o/x"), "http://o/x");
    EXPECT_EQ(resolveLocation("http://h:81/a/b.jpg", "/x/y"), "http://h:81/x/y");
    EXPECT_EQ(resolveLocation("http://h/a/b.jpg?q=/z", "c.jpg"), "http://h/a/c.jpg");
    EXPECT_EQ(resolveLocation("https://h/a", "//cdn/img"), "https://cdn/img");
    EXPECT_EQ(resolveLocation("http://h", "x"), "http://h/x");
    EXPECT_EQ(resolveLocation("http://h?q=1", "x"), "http://h/x");
    EXPECT_EQ(resolveLocation("http://h/p/a.jpg?a=1#f", "?b=2"), "http://h/p/a.jpg?b=2");
    EXPECT_EQ(resolveLocation("http://h/d/p", "next?u=http://x/y"), "http://h/d/next?u=http://x/y");
    EXPECT_EQ(resolveLocation("http://h/d/p", " /x "), "http://h/x");
    // The browser's backslash is a slash before the query, in the address asked for and in the
    // answer alike.
    EXPECT_EQ(resolveLocation("http://h\\dir\\f.gif", "g.gif"), "http://h/dir/g.gif");
    EXPECT_EQ(resolveLocation("http://h/a/b", "..\\c?x=\\"), "http://h/c?x=\\");
    // A fragment alone leaves the object asked for as it was.
    std::optional<std::string> same = resolveLocation("http://h/p/a.jpg?a=1#f", "#x");
    EXPECT_EQ(same, "http://h/p/a.jpg?a=1#x");
    ASSERT_TRUE(same);
    EXPECT_EQ(splitHttpAddress(*same)->object, "/p/a.jpg?a=1");
}

TEST(Redirection, FollowsTheGenericReferenceExamples) {
    const char* base = "http://a/b/c/d;p?q";
    const std::pair<const char*, const char*> cases[] = {
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g#s/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
        {"HTTP://o/a/../x", "HTTP://o/x"},
    };
    for (auto [reference, target] : cases)
        EXPECT_EQ(resolveLocation(base, reference), std::optional<std::string>(target))
            << reference;
}

TEST(Redirection, LeadsNowhereWithoutAnHttpTarget) {
    for (const char* reference : {"", "  ", "g:h", "http:g", "ftp://h/x", "javascript:alert(1)",
                                  "//", "//h:99999/x", "mailto:a@b", "http:///x"}) {
        EXPECT_FALSE(resolveLocation("http://a/b/c/d;p?q", reference)) << reference;
    }
    EXPECT_FALSE(resolveLocation("/relative/base", "g"));
}

TEST(LowSpeed, TooFewBytesInAWindowEndTheTransfer) {
    using namespace std::chrono_literals;
    LowSpeedGuard guard(1000, 100);
    auto t0 = LowSpeedGuard::Clock::now();
    EXPECT_TRUE(guard.onBytes(60, t0 + 100ms));
    EXPECT_TRUE(guard.onBytes(60, t0 + 1100ms));  // 120 in the first window
    EXPECT_TRUE(guard.onBytes(10, t0 + 1500ms));
    EXPECT_FALSE(guard.onBytes(10, t0 + 2200ms));  // 20 in the second
}

}  // namespace
}  // namespace vx

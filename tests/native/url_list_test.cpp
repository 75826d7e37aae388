#include "app/url_list.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <string>
#include <vector>

#include "base/string_table.h"
#include "resources/resource.h"
#include "support/memory_file_system.h"
#include "support/scratch_folder.h"

namespace vx {
namespace {

using MemoryFiles = test::MemoryFileSystem;

const std::string kFolder = std::string("install") + pathSeparator();
const std::string kPath = kFolder + "cacheurl.xml";

// What the toolbar band writes for one address.
std::string bandFile(const std::string& address) {
    return "<URLCACHE>\r\n<URL>" + address + "</URL>\r\n</URLCACHE>";
}

std::vector<std::string> pages(const UrlListResult& result) {
    return result.pageUrls.entries();
}

std::string shownMessage(const UrlListResult& result) {
    const char* text = stringText(result.messageId);
    if (!text)
        return {};
    return formatText(text, {result.messageArgument});
}

TEST(UrlList, ReadsTheFileTheBandWrites) {
    MemoryFiles fs;
    fs.files[kPath] = bandFile("http://example.com/gallery/index.html");
    UrlListResult result = loadUrlList(fs, kFolder);
    EXPECT_TRUE(result.loaded());
    EXPECT_EQ(result.messageId, 0);
    EXPECT_EQ(pages(result), std::vector<std::string>{"http://example.com/gallery/index.html"});
    EXPECT_EQ(fs.reads, std::vector<std::string>{kPath});
}

TEST(UrlList, PageListRules) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"repeat and about:blank dropped",
         "<URLCACHE><URL>http://a/</URL><URL>about:blank</URL><URL>http://a/</URL></URLCACHE>",
         {"http://a/"}},
        {"file order kept",
         "<URLCACHE><URL>http://c/</URL><URL>http://a/</URL><URL>http://b/</URL></URLCACHE>",
         {"http://c/", "http://a/", "http://b/"}},
        {"only the exact lower-case about:blank is dropped",
         "<URLCACHE><URL>ABOUT:BLANK</URL><URL>about:blank</URL><URL>About:blank</URL>"
         "<URL> about:blank</URL></URLCACHE>",
         {"ABOUT:BLANK", "About:blank", " about:blank"}},
        {"repeats compare bytes exactly",
         "<URLCACHE><URL>http://A/</URL><URL>http://a/</URL><URL>http://a</URL></URLCACHE>",
         {"http://A/", "http://a/", "http://a"}},
        {"raw and escaped ampersand give the same address",
         "<URLCACHE><URL>http://h/p?a=1&b=2</URL><URL>http://h/p?a=1&amp;b=2</URL></URLCACHE>",
         {"http://h/p?a=1&b=2"}},
        {"entities decoded",
         "<URLCACHE><URL>http://h/?q=&lt;x&gt;&quot;&apos;</URL></URLCACHE>",
         {"http://h/?q=<x>\"'"}},
        {"CDATA taken unchanged",
         "<URLCACHE><URL><![CDATA[http://h/?a=1&amp;b=<2>]]></URL></URLCACHE>",
         {"http://h/?a=1&amp;b=<2>"}},
        {"other children skipped",
         "<URLCACHE><TITLE>x</TITLE><URL>http://a/</URL><NOTE/><URL>http://b/</URL></URLCACHE>",
         {"http://a/", "http://b/"}},
        {"declaration and comment before the root",
         "<?xml version=\"1.0\"?>\r\n<!-- handed over -->\r\n" + bandFile("http://a/"),
         {"http://a/"}},
        {"LF line ends", "<URLCACHE>\n<URL>http://a/</URL>\n</URLCACHE>\n", {"http://a/"}},
        {"another root", "<PAGES><URL>http://a/</URL></PAGES>", {}},
        {"root without URL children", "<URLCACHE></URLCACHE>", {}},
        {"empty root", "<URLCACHE/>", {}},
        {"every entry about:blank or a repeat",
         "<URLCACHE><URL>about:blank</URL><URL>about:blank</URL></URLCACHE>",
         {}},
        {"only the first top-level element counts",
         "<OTHER/><URLCACHE><URL>http://a/</URL></URLCACHE>",
         {}},
        {"text after the first NUL byte is not read",
         bandFile("http://a/") + std::string("\0<URL>http://b/</URL>", 22),
         {"http://a/"}},
    };
    for (const Case& c : cases) {
        MemoryFiles fs;
        fs.files[kPath] = c.text;
        UrlListResult result = loadUrlList(fs, kFolder);
        EXPECT_EQ(result.status, UrlListResult::Status::Loaded) << c.name;
        EXPECT_EQ(result.messageId, 0) << c.name;
        EXPECT_EQ(pages(result), c.expected) << c.name;
    }
}

TEST(UrlList, MissingFileNamesOnlyTheBareFileName) {
    MemoryFiles fs;
    UrlListResult result = loadUrlList(fs, kFolder);
    EXPECT_EQ(result.status, UrlListResult::Status::FileUnreadable);
    EXPECT_EQ(result.messageId, IDS_READ_URL_CACHE_FAILED);
    EXPECT_EQ(result.messageArgument, "cacheurl.xml");
    EXPECT_EQ(shownMessage(result), "Unable to read url cache file: cacheurl.xml");
    EXPECT_TRUE(result.pageUrls.empty());
}

TEST(UrlList, MalformedTextIsAParseError) {
    const std::string texts[] = {
        "",
        "just text",
        "<URLCACHE><URL>http://a/</URL>",
        "<URLCACHE><URL>http://a/</URLCACHE>",
        "<URLCACHE><",
        std::string("<URLCACHE>\0<URL>http://a/</URL></URLCACHE>", 42),
    };
    for (const std::string& text : texts) {
        MemoryFiles fs;
        fs.files[kPath] = text;
        UrlListResult result = loadUrlList(fs, kFolder);
        EXPECT_EQ(result.status, UrlListResult::Status::ParseError) << text;
        EXPECT_EQ(result.messageId, IDS_PARSE_URL_CACHE_FAILED) << text;
        EXPECT_EQ(shownMessage(result),
                  "Error occured while parsing url cache file, please try again.");
        EXPECT_TRUE(result.pageUrls.empty());
    }
}

TEST(UrlList, NoMemoryForTheText) {
    MemoryFiles fs;
    fs.files[kPath] = bandFile("http://a/");
    fs.beforeRead = [](const std::string&) { throw std::bad_alloc(); };
    UrlListResult result = loadUrlList(fs, kFolder);
    EXPECT_EQ(result.status, UrlListResult::Status::OutOfMemory);
    EXPECT_EQ(result.messageId, IDS_MEMORY_NOT_ENOUGH);
    EXPECT_EQ(shownMessage(result),
              "Memory not enouth.Please close some other application and try again.");
}

TEST(UrlList, PathIsTheInstallFolderAndTheFileName) {
    const char sep = pathSeparator();
    struct Case {
        std::string folder;
        std::string expected;
    };
    const Case cases[] = {
        {std::string("C:") + sep + "Vexaro" + sep,
         std::string("C:") + sep + "Vexaro" + sep + "cacheurl.xml"},
        {std::string("C:") + sep + "Vexaro",
         std::string("C:") + sep + "Vexaro" + sep + "cacheurl.xml"},
        {"Vexaro.exe", std::string("Vexaro.exe") + sep + "cacheurl.xml"},
        {"", "cacheurl.xml"},
    };
    for (const Case& c : cases) {
        MemoryFiles fs;
        loadUrlList(fs, c.folder);
        EXPECT_EQ(fs.reads, std::vector<std::string>{c.expected}) << c.folder;
    }
}

TEST(UrlList, ResultStartsAsFailed) {
    UrlListResult fresh;
    EXPECT_FALSE(fresh.loaded());
    EXPECT_EQ(fresh.status, UrlListResult::Status::Unread);
}

TEST(UrlList, ReadsARealFile) {
    test::ScratchFolder folder("urllist");
    folder.putBytes("cacheurl.xml", bandFile("http://example.com/a?x=1&y=2"));
    UrlListResult result = loadUrlList(platformFileSystem(), folder.path());
    EXPECT_TRUE(result.loaded());
    EXPECT_EQ(pages(result), std::vector<std::string>{"http://example.com/a?x=1&y=2"});

    test::ScratchFolder empty("urllist");
    EXPECT_EQ(loadUrlList(platformFileSystem(), empty.path()).status,
              UrlListResult::Status::FileUnreadable);
}

}  // namespace
}  // namespace vx

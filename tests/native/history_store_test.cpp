#include "history/history_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "base/mbcs.h"
#include "support/memory_file_system.h"
#include "support/test_paths.h"

namespace vx {

// Readable failure messages for the record types.
void PrintTo(const HistoryItem& i, std::ostream* os) {
    *os << "{" << i.downloaded << ", \"" << i.address.str() << "\", \"" << i.localPath.str()
        << "\"}";
}
void PrintTo(const HistoryRecord& r, std::ostream* os) {
    *os << "{\"" << r.pageAddress.str() << "\" @" << r.time << " items:";
    for (const HistoryItem& i : r.items)
        PrintTo(i, os);
    *os << "}";
}

}  // namespace vx

namespace {

using vx::CHistoryStore;
using vx::HistoryItem;
using vx::HistoryRecord;

using vx::test::FakeInstall;
using vx::test::MemoryFileSystem;

// Day names follow the local date; the tests pin the zone so that dates are known.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        hadZone_ = std::getenv("TZ") != nullptr;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadZone_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::string saved_;
    bool hadZone_ = false;
};

std::string sep() {
    return std::string(1, vx::pathSeparator());
}

const std::string kInstall = sep() + "vexaro";
const std::string kHistory = kInstall + sep() + "History";

std::string dayPath(const std::string& day) {
    return kHistory + sep() + day;
}

HistoryItem item(const std::string& address, const std::string& localPath = "",
                 int32_t downloaded = 0) {
    HistoryItem i;
    i.address = address;
    i.localPath = localPath;
    i.downloaded = downloaded;
    return i;
}

HistoryRecord record(const std::string& page, vx::HistoryTime time,
                     std::vector<HistoryItem> items) {
    HistoryRecord r;
    r.pageAddress = page;
    r.time = time;
    r.items = std::move(items);
    return r;
}

std::string readFixture(const std::string& relative) {
    auto bytes = vx::platformFileSystem().readFile(std::string(VX_FIXTURES_DIR) + "/" + relative);
    EXPECT_TRUE(bytes.has_value()) << relative;
    return bytes.value_or("");
}

std::string downloadBlock(const std::string& body) {
    return "<DOWNLOAD>\r\n" + body + "</DOWNLOAD>\r\n";
}

class HistoryStoreTest : public ::testing::Test {
  protected:
    ScopedTimeZone zone{"UTC0"};
    HistoryStoreTest() {
        // Appends into a folder never created fail, as on disk.
        files.appendNeedsFolder = true;
    }

    MemoryFileSystem files;
    FakeInstall install{kInstall + sep()};
    CHistoryStore store{install, files};

    // A fresh store reading what `store` saved.
    std::vector<HistoryRecord> reload() {
        CHistoryStore reader(install, files);
        reader.Load();
        return reader.records();
    }
};

// 2004-03-25 23:59:59 UTC.
constexpr vx::HistoryTime kLateEvening = 1080259199;

TEST_F(HistoryStoreTest, SavedDayFileMatchesTheGoldenBytes) {
    store.AddRecord(record("http://pics.example/gallery?a=1&b=2", kLateEvening,
                           {item("http://pics.example/a.jpg"), item("http://pics.example/b.jpg"),
                            item("http://pics.example/<c>.jpg")}));
    store.AddRecord(record("", kLateEvening - 99, {item("http://pics.example/d.jpg")}));
    store.MarkDownloaded("http://pics.example/a.jpg", "/save/a.jpg");
    store.MarkDownloaded("http://pics.example/<c>.jpg", "/save/c.jpg");

    vx::HistorySaveResult result = store.Save();

    EXPECT_EQ(result.written, 2u);
    EXPECT_EQ(result.failed, 0u);
    EXPECT_TRUE(files.isFolder(kHistory));
    ASSERT_EQ(files.files.size(), 1u);
    EXPECT_EQ(files.files[dayPath("2004-03-25")], readFixture("history/saved_day_file.txt"));
}

TEST_F(HistoryStoreTest, RecordsWithoutItemsAreNotWrittenAndSaveKeepsTheStore) {
    store.AddRecord(record("http://empty.example/", kLateEvening, {}));
    vx::HistorySaveResult result = store.Save();
    EXPECT_EQ(result.written, 0u);
    EXPECT_EQ(result.failed, 0u);
    EXPECT_TRUE(files.files.empty());
    EXPECT_EQ(store.records().size(), 1u);
}

TEST_F(HistoryStoreTest, SessionPastMidnightWritesEachRecordToItsOwnDay) {
    store.AddRecord(record("http://a.example/", kLateEvening, {item("http://a.example/1.jpg")}));
    store.AddRecord(
        record("http://b.example/", kLateEvening + 2, {item("http://b.example/2.jpg")}));
    store.MarkDownloaded("http://a.example/1.jpg", "/s/1.jpg");
    store.MarkDownloaded("http://b.example/2.jpg", "/s/2.jpg");
    store.Save();
    ASSERT_EQ(files.files.size(), 2u);
    EXPECT_NE(files.files[dayPath("2004-03-25")].find("http://a.example/1.jpg"), std::string::npos);
    EXPECT_NE(files.files[dayPath("2004-03-26")].find("http://b.example/2.jpg"), std::string::npos);
}

TEST_F(HistoryStoreTest, TimesAfter2038AreWrittenAndReadBackUnchanged) {
    const vx::HistoryTime times[] = {2147483647, 2147483648, 4102444800};
    for (vx::HistoryTime t : times) {
        std::string page = "http://t.example/" + std::to_string(t);
        store.AddRecord(record(page, t, {item(page + "/x.jpg")}));
        store.MarkDownloaded(page + "/x.jpg", "/s/x.jpg");
    }
    store.Save();
    EXPECT_TRUE(files.files.count(dayPath("2038-01-19")));
    ASSERT_TRUE(files.files.count(dayPath("2100-01-01")));
    EXPECT_NE(files.files[dayPath("2100-01-01")].find("<DOWNLOAD_TIME>4102444800</DOWNLOAD_TIME>"),
              std::string::npos);

    std::map<std::string, vx::HistoryTime> loaded;
    for (const HistoryRecord& r : reload())
        loaded[r.pageAddress] = r.time;
    for (vx::HistoryTime t : times)
        EXPECT_EQ(loaded["http://t.example/" + std::to_string(t)], t);
}

TEST_F(HistoryStoreTest, SaveThenLoadGivesTheSameRecordsAndItems) {
    store.AddRecord(record("http://a.example/?q=<1>&r='2'", 1080000000,
                           {item("http://a.example/1.jpg"), item("http://a.example/2.jpg"),
                            item("http://a.example/3.jpg")}));
    store.AddRecord(record("http://b.example/", 1080000100, {item("http://b.example/1.swf")}));
    store.AddRecord(record("http://never.example/", 1080000200, {item("http://never.example/")}));
    store.MarkDownloaded("http://a.example/1.jpg", "C:\\Save\\1 & 2.jpg");
    store.MarkDownloaded("http://a.example/3.jpg", "C:\\Save\\3.jpg");
    store.MarkDownloaded("http://b.example/1.swf", "");
    store.Save();

    std::vector<HistoryRecord> expected = {
        record("http://a.example/?q=<1>&r='2'", 1080000000,
               {item("http://a.example/1.jpg", "C:\\Save\\1 & 2.jpg"),
                item("http://a.example/3.jpg", "C:\\Save\\3.jpg")}),
        record("http://b.example/", 1080000100, {item("http://b.example/1.swf", "")}),
    };
    EXPECT_EQ(reload(), expected);
}

TEST_F(HistoryStoreTest, AppendingToAnExistingDayFileKeepsEveryEarlierRecord) {
    const std::string earlier = downloadBlock(
        "<DOWNLOAD_TIME>1080200000</DOWNLOAD_TIME>\r\n"
        "<REFERRER_URL>http://old.example/</REFERRER_URL>\r\n"
        "<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>http://old.example/o.jpg</DOWNLOAD_FILE>\r\n"
        "<LOCAL_FILE>/s/o.jpg</LOCAL_FILE>\r\n</DOWNLOAD_ITEM>\r\n");
    files.createFolder(kHistory, nullptr);
    files.put(dayPath("2004-03-25"), earlier);

    store.AddRecord(
        record("http://new.example/", kLateEvening, {item("http://new.example/n.jpg")}));
    store.MarkDownloaded("http://new.example/n.jpg", "/s/n.jpg");
    store.Save();
    store.Save();

    const std::string& text = files.files[dayPath("2004-03-25")];
    EXPECT_EQ(text.substr(0, earlier.size()), earlier);
    std::vector<HistoryRecord> loaded = reload();
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].pageAddress, "http://old.example/");
    EXPECT_EQ(loaded[1].pageAddress, "http://new.example/");
    // Saved twice, so the page's item is there twice, merged into one record.
    EXPECT_EQ(loaded[1].items.size(), 2u);
}

TEST_F(HistoryStoreTest, AFailedWriteSkipsOnlyItsRecordAndLosesNothingWrittenBefore) {
    files.createFolder(kHistory, nullptr);
    const std::string earlier = downloadBlock(
        "<DOWNLOAD_TIME>1080259000</DOWNLOAD_TIME>\r\n<REFERRER_URL>http://old.example/</"
        "REFERRER_URL>"
        "\r\n<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>http://old.example/o.jpg</DOWNLOAD_FILE>\r\n"
        "<LOCAL_FILE>/s/o.jpg</LOCAL_FILE>\r\n</DOWNLOAD_ITEM>\r\n");
    files.put(dayPath("2004-03-25"), earlier);
    files.fullDiskFiles.insert(dayPath("2004-03-25"));
    files.lockedFiles.insert(dayPath("2004-03-27"));

    store.AddRecord(record("http://a.example/", kLateEvening, {item("http://a.example/1.jpg")}));
    store.AddRecord(
        record("http://b.example/", kLateEvening + 2, {item("http://b.example/2.jpg")}));
    store.AddRecord(
        record("http://c.example/", kLateEvening + 86402, {item("http://c.example/3.jpg")}));
    store.AddRecord(
        record("http://d.example/", kLateEvening + 5, {item("http://d.example/4.jpg")}));
    for (const char* a : {"http://a.example/1.jpg", "http://b.example/2.jpg",
                          "http://c.example/3.jpg", "http://d.example/4.jpg"})
        store.MarkDownloaded(a, "/s/f");

    vx::HistorySaveResult result = store.Save();
    EXPECT_EQ(result.written, 2u);
    EXPECT_EQ(result.failed, 2u);

    // The half-written block is still there, yet the day file yields its earlier record.
    files.fullDiskFiles.clear();
    std::vector<std::string> pages;
    for (const HistoryRecord& r : reload())
        pages.push_back(r.pageAddress);
    EXPECT_EQ(pages, (std::vector<std::string>{"http://old.example/", "http://b.example/",
                                               "http://d.example/"}));
    EXPECT_EQ(files.files[dayPath("2004-03-25")].substr(0, earlier.size()), earlier);
}

TEST_F(HistoryStoreTest, NoInstallFolderOrNoHistoryFolderWritesNothingAndSaysSo) {
    FakeInstall nowhere("");
    CHistoryStore homeless(nowhere, files);
    homeless.AddRecord(record("http://a.example/", kLateEvening, {item("http://a.example/1.jpg")}));
    vx::HistorySaveResult result = homeless.Save();
    EXPECT_EQ(result.written, 0u);
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(files.appendCalls, 0);
    homeless.Load();
    EXPECT_TRUE(homeless.records().empty());

    files.folderCreationFails = true;
    store.AddRecord(record("http://a.example/", kLateEvening, {item("http://a.example/1.jpg")}));
    store.AddRecord(record("http://b.example/", kLateEvening, {item("http://b.example/1.jpg")}));
    result = store.Save();
    EXPECT_EQ(result.written, 0u);
    EXPECT_EQ(result.failed, 2u);
    EXPECT_TRUE(files.files.empty());
}

TEST_F(HistoryStoreTest, SamePageTwiceInOneSessionGivesOneRecordWithItsFirstTime) {
    store.AddRecord(record("http://a.example/", 100, {item("http://a.example/1.jpg")}));
    store.AddRecord(record("http://b.example/", 150, {item("http://b.example/1.jpg")}));
    store.AddRecord(record("http://a.example/", 200,
                           {item("http://a.example/2.jpg"), item("http://a.example/1.jpg")}));
    store.AddRecord(record("HTTP://A.EXAMPLE/", 300, {item("http://a.example/3.jpg")}));

    ASSERT_EQ(store.records().size(), 3u);
    const HistoryRecord& a = store.records()[0];
    EXPECT_EQ(a.time, 100);
    EXPECT_EQ(a.items, (std::vector<HistoryItem>{item("http://a.example/1.jpg"),
                                                 item("http://a.example/2.jpg"),
                                                 item("http://a.example/1.jpg")}));
    EXPECT_EQ(store.records()[2].pageAddress, "HTTP://A.EXAMPLE/");
}

TEST_F(HistoryStoreTest, MarkDownloadedTakesTheFirstMatchEvenWhenMarkedBefore) {
    store.AddRecord(record("http://a.example/", 1,
                           {item("http://m.example/x.jpg"), item("http://m.example/x.jpg")}));
    store.AddRecord(record("http://b.example/", 2, {item("http://m.example/x.jpg")}));

    store.MarkDownloaded("http://m.example/x.jpg", "/s/first");
    store.MarkDownloaded("http://m.example/x.jpg", "/s/second");
    store.MarkDownloaded("http://m.example/X.jpg", "/s/case");
    store.MarkDownloaded("http://m.example/x.jp", "/s/prefix");

    const auto& r = store.records();
    EXPECT_EQ(r[0].items[0], item("http://m.example/x.jpg", "/s/second", 1));
    EXPECT_EQ(r[0].items[1], item("http://m.example/x.jpg"));
    EXPECT_EQ(r[1].items[0], item("http://m.example/x.jpg"));
}

TEST_F(HistoryStoreTest, ItemMergedIntoAnEarlierRecordBecomesTheFirstMatch) {
    store.AddRecord(record("http://a.example/", 1, {item("http://a.example/1.jpg")}));
    store.AddRecord(record("http://b.example/", 2, {item("http://shared.example/s.jpg")}));
    // Page a again: its copy of the shared file now stands before the one of page b.
    store.AddRecord(record("http://a.example/", 3, {item("http://shared.example/s.jpg")}));

    store.MarkDownloaded("http://shared.example/s.jpg", "/s/s.jpg");

    EXPECT_EQ(store.records()[0].items[1].downloaded, 1);
    EXPECT_EQ(store.records()[1].items[0].downloaded, 0);
}

TEST_F(HistoryStoreTest, FieldsAreCutToTheirWidthsAndLongAddressesAreNeverMarked) {
    const std::string longPage = "http://p.example/" + std::string(600, 'p');
    const std::string longMedia = "http://m.example/" + std::string(300, 'm');
    const std::string longPath = "C:\\" + std::string(400, 'l');
    store.AddRecord(record(longPage, 1, {item(longMedia), item("http://m.example/ok.jpg")}));
    store.MarkDownloaded(longMedia, "/s/long");
    store.MarkDownloaded("http://m.example/ok.jpg", longPath);

    const HistoryRecord& r = store.records()[0];
    EXPECT_EQ(r.pageAddress.str(), longPage.substr(0, 519));
    EXPECT_EQ(r.items[0].address.str(), longMedia.substr(0, 259));
    EXPECT_EQ(r.items[0].downloaded, 0);
    EXPECT_EQ(r.items[1].localPath.str(), longPath.substr(0, 259));

    // The cut address is what the store holds, so that is what finds the item.
    store.MarkDownloaded(longMedia.substr(0, 259), "/s/cut");
    EXPECT_EQ(store.records()[0].items[0].downloaded, 1);
}

TEST_F(HistoryStoreTest, CutNeverSplitsADoubleByteCharacter) {
    vx::mbcs::useCodePage936();
    // 258 single bytes, then a two-byte character that would straddle the 259th byte.
    std::string address = std::string(258, 'a') + "\xC4\xE3" + "tail";
    HistoryItem i = item(address);
    vx::mbcs::useSingleByte();
    EXPECT_EQ(i.address.str(), std::string(258, 'a'));
}

TEST(FixedText, CutsOnEveryAssignmentAndJoinsLikeAString) {
    vx::FixedText<8> text("abcdefghij");
    EXPECT_EQ(text.str(), "abcdefg");
    text = std::string("0123456789");
    EXPECT_EQ(text, "0123456");
    text = static_cast<const char*>(nullptr);
    EXPECT_TRUE(text.empty());
    text = "C:\\x";
    EXPECT_EQ(text + "\\y.jpg", "C:\\x\\y.jpg");
    EXPECT_EQ("D" + text, "DC:\\x");
    std::string_view view = text;
    EXPECT_EQ(view, "C:\\x");
}

// A NUL byte ends a field as it ends a character array: two pages that differ only after it are
// one page, and the store holds what Save writes.
TEST(FixedText, EndsAtTheFirstNulByte) {
    vx::FixedText<8> text(std::string("ab\0cdefghij", 12));
    EXPECT_EQ(text.str(), "ab");
    text = std::string_view("\0x", 2);
    EXPECT_TRUE(text.empty());
    // A value taken over whole (it fits) still ends at its NUL byte.
    text = std::string("c\0d", 3);
    EXPECT_EQ(text.str(), "c");
}

TEST_F(HistoryStoreTest, PagesThatDifferOnlyAfterANulByteAreOneRecord) {
    files.createFolder(kHistory, nullptr);
    std::string content;
    for (const std::string rest : {"one", "two"}) {
        const std::string page = std::string("http://p.example/") + '\0' + rest;
        content += downloadBlock("<DOWNLOAD_TIME>5</DOWNLOAD_TIME>\r\n<REFERRER_URL>" + page +
                                 "</REFERRER_URL>\r\n<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>" + rest +
                                 "</DOWNLOAD_FILE>\r\n</DOWNLOAD_ITEM>\r\n");
    }
    files.put(dayPath("1970-01-01"), content);
    store.Load();
    ASSERT_EQ(store.records().size(), 1u);
    EXPECT_EQ(store.records()[0].pageAddress, "http://p.example/");
    EXPECT_EQ(store.records()[0].items, (std::vector<HistoryItem>{item("one"), item("two")}));
}

TEST_F(HistoryStoreTest, ClearEmptiesRecordsTitlesAndLookups) {
    store.AddRecord(record("http://a.example/", 1, {item("http://a.example/1.jpg")}));
    store.Clear();
    EXPECT_TRUE(store.records().empty());
    store.MarkDownloaded("http://a.example/1.jpg", "/s/1");
    store.AddRecord(record("http://a.example/", 2, {item("http://a.example/2.jpg")}));
    ASSERT_EQ(store.records().size(), 1u);
    EXPECT_EQ(store.records()[0].time, 2);
    EXPECT_EQ(store.records()[0].items.size(), 1u);
}

TEST_F(HistoryStoreTest, LoadReadsEveryFileInListingOrderAndMergesPagesAcrossDays) {
    files.createFolder(kHistory, nullptr);
    files.createFolder(kHistory + sep() + "sub", nullptr);
    auto block = [](const std::string& time, const std::string& page, const std::string& media) {
        return downloadBlock("<DOWNLOAD_TIME>" + time + "</DOWNLOAD_TIME>\r\n<REFERRER_URL>" +
                             page + "</REFERRER_URL>\r\n<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>" +
                             media +
                             "</DOWNLOAD_FILE>\r\n<LOCAL_FILE>/s</LOCAL_FILE>\r\n"
                             "</DOWNLOAD_ITEM>\r\n");
    };
    files.put(dayPath("2004-03-26"), block("1080295200", "http://same.example/", "http://x/2"));
    files.put(dayPath("desktop.ini"), block("1080381600", "http://ini.example/", "http://x/i"));
    files.put(dayPath("2004-03-25"), block("1080208800", "http://same.example/", "http://x/1"));
    files.put(dayPath("2004-03-27"), "");
    files.put(dayPath("2004-03-28.bak.old"), "not xml at all");
    files.put(dayPath("2004-03-29"), block("1", "http://unread.example/", "http://x/u"));
    files.unreadableFiles.insert(dayPath("2004-03-29"));
    files.put(kHistory + sep() + "sub" + sep() + "2004-01-01",
              block("1", "http://n/", "http://x/n"));

    store.Load();

    EXPECT_EQ(store.dayTitles(),
              (std::vector<std::string>{"2004-03-26", "desktop", "2004-03-25", "2004-03-27",
                                        "2004-03-28.bak", "2004-03-29"}));
    ASSERT_EQ(store.records().size(), 2u);
    const HistoryRecord& same = store.records()[0];
    EXPECT_EQ(same.pageAddress, "http://same.example/");
    EXPECT_EQ(same.time, 1080295200);
    ASSERT_EQ(same.items.size(), 2u);
    EXPECT_EQ(same.items[0].address, "http://x/2");
    EXPECT_EQ(same.items[1].address, "http://x/1");
    EXPECT_EQ(store.records()[1].pageAddress, "http://ini.example/");

    // A second Load starts from nothing.
    store.Load();
    EXPECT_EQ(store.records().size(), 2u);
    EXPECT_EQ(store.dayTitles().size(), 6u);
}

TEST_F(HistoryStoreTest, DayFileReadingFollowsElementOrderAndDropsEmptyRecords) {
    struct Case {
        const char* name;
        std::string content;
        std::vector<HistoryRecord> expected;
    };
    const std::string oneItem =
        "<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>http://x/1</DOWNLOAD_FILE>\r\n"
        "<LOCAL_FILE>/s/1</LOCAL_FILE>\r\n</DOWNLOAD_ITEM>\r\n";
    const Case cases[] = {
        {"page before time is not read",
         downloadBlock("<REFERRER_URL>http://p/</REFERRER_URL>\r\n<DOWNLOAD_TIME>7</DOWNLOAD_TIME>"
                       "\r\n" +
                       oneItem),
         {record("", 7, {item("http://x/1", "/s/1")})}},
        {"local file before download file is not read",
         downloadBlock("<DOWNLOAD_TIME>7</DOWNLOAD_TIME>\r\n<DOWNLOAD_ITEM>\r\n"
                       "<LOCAL_FILE>/s/1</LOCAL_FILE>\r\n<DOWNLOAD_FILE>http://x/1</DOWNLOAD_FILE>"
                       "\r\n</DOWNLOAD_ITEM>\r\n"),
         {record("", 7, {item("http://x/1", "")})}},
        {"items before the page address are not seen, so the record is dropped",
         downloadBlock("<DOWNLOAD_TIME>7</DOWNLOAD_TIME>\r\n" + oneItem +
                       "<REFERRER_URL>http://p/</REFERRER_URL>\r\n"),
         {}},
        {"record without items is dropped",
         downloadBlock("<DOWNLOAD_TIME>7</DOWNLOAD_TIME>\r\n<REFERRER_URL>http://p/</REFERRER_URL>"
                       "\r\n"),
         {}},
        {"empty item elements still count as items",
         downloadBlock(
             "<DOWNLOAD_TIME>7</DOWNLOAD_TIME>\r\n<REFERRER_URL/>\r\n<DOWNLOAD_ITEM/>\r\n"),
         {record("", 7, {item("")})}},
        {"entities and plain ampersands",
         downloadBlock("<DOWNLOAD_TIME>7</DOWNLOAD_TIME>\r\n<REFERRER_URL>http://p/?a=1&b=2&amp;c"
                       "</REFERRER_URL>\r\n" +
                       oneItem),
         {record("http://p/?a=1&b=2&c", 7, {item("http://x/1", "/s/1")})}},
        {"LF line ends and indentation",
         "<DOWNLOAD>\n  <DOWNLOAD_TIME>7</DOWNLOAD_TIME>\n  "
         "<REFERRER_URL>http://p/</REFERRER_URL>\n"
         "  <DOWNLOAD_ITEM><DOWNLOAD_FILE>http://x/1</DOWNLOAD_FILE></DOWNLOAD_ITEM>\n</DOWNLOAD>",
         {record("http://p/", 7, {item("http://x/1")})}},
        {"not XML", "garbage < with > brackets", {}},
        {"other elements are ignored",
         "<NOTE>hi</NOTE>" +
             downloadBlock("<DOWNLOAD_TIME>7</DOWNLOAD_TIME>\r\n<X/>\r\n" + oneItem),
         {record("", 7, {item("http://x/1", "/s/1")})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CHistoryStore reader(install, files);
        files.put("/day", c.content);
        reader.LoadDayFile("/day");
        EXPECT_EQ(reader.records(), c.expected);
    }
}

TEST_F(HistoryStoreTest, TimeTextIsReadAsItsLeadingNumberIn64Bits) {
    struct Case {
        std::string text;
        vx::HistoryTime expected;
    };
    const Case cases[] = {
        {"1080259199", 1080259199},
        {"  42abc", 42},
        {"-5", -5},
        {"+6", 6},
        {"abc", 0},
        {"", 0},
        {"4102444800", 4102444800},
        {"99999999999999999999999", INT64_MAX},
        {"-99999999999999999999999", INT64_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CHistoryStore reader(install, files);
        files.put("/day", downloadBlock("<DOWNLOAD_TIME>" + c.text +
                                        "</DOWNLOAD_TIME>\r\n"
                                        "<DOWNLOAD_ITEM/>\r\n"));
        reader.LoadDayFile("/day");
        ASSERT_EQ(reader.records().size(), 1u);
        EXPECT_EQ(reader.records()[0].time, c.expected);
    }
}

TEST_F(HistoryStoreTest, RecordWithoutTimeTakesTheTimeOfLoading) {
    files.put("/day",
              downloadBlock("<REFERRER_URL>http://p/</REFERRER_URL>\r\n<DOWNLOAD_ITEM/>\r\n"));
    const vx::HistoryTime before = vx::currentTime();
    store.LoadDayFile("/day");
    const vx::HistoryTime after = vx::currentTime();
    ASSERT_EQ(store.records().size(), 1u);
    EXPECT_GE(store.records()[0].time, before);
    EXPECT_LE(store.records()[0].time, after);
    EXPECT_EQ(store.records()[0].pageAddress, "http://p/");
}

TEST_F(HistoryStoreTest, MissingDayFileAddsNothing) {
    store.LoadDayFile("/no/such/file");
    EXPECT_TRUE(store.records().empty());
}

TEST(HistoryStoreOnDisk, FixtureFolderLoadsEveryFileButNotSubfolders) {
    ScopedTimeZone zone("UTC0");
    FakeInstall install(std::string(VX_FIXTURES_DIR) + "/history/install/");
    CHistoryStore store(install, vx::platformFileSystem());
    store.Load();

    std::multiset<std::string> titles(store.dayTitles().begin(), store.dayTitles().end());
    EXPECT_EQ(titles,
              (std::multiset<std::string>{"2004-03-25", "2004-03-26", "2004-03-27", "desktop"}));
    std::map<std::string, HistoryRecord> byPage;
    for (const HistoryRecord& r : store.records())
        byPage[r.pageAddress] = r;
    ASSERT_EQ(byPage.size(), 4u);
    EXPECT_EQ(byPage["http://a.example/page"],
              record("http://a.example/page", 1080208800,
                     {item("http://a.example/1.jpg", "C:\\Save\\1.jpg"),
                      item("http://a.example/2.jpg", "C:\\Save\\2.jpg")}));
    EXPECT_EQ(byPage[""],
              record("", 1080209000, {item("http://c.example/3.png", "C:\\Save\\3.png")}));
    EXPECT_EQ(byPage["http://d.example/<tag>"].items.size(), 1u);
    EXPECT_EQ(byPage["http://e.example/"].items,
              (std::vector<HistoryItem>{item("http://e.example/movie.swf", "")}));
    EXPECT_FALSE(byPage.count("http://b.example/?x=1&y=2"));
}

TEST(HistoryStoreOnDisk, TornRecordCostsOnlyItself) {
    FakeInstall install(std::string(VX_FIXTURES_DIR) + "/history/torn/");
    CHistoryStore store(install, vx::platformFileSystem());
    store.Load();
    std::vector<std::string> pages;
    for (const HistoryRecord& r : store.records())
        pages.push_back(r.pageAddress);
    EXPECT_EQ(pages, (std::vector<std::string>{"http://first.example/", "http://third.example/"}));
}

TEST(HistoryStoreOnDisk, SaveAppendsToRealFilesAndLoadReadsThemBack) {
    ScopedTimeZone zone("UTC0");
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / ("vx_history_" + std::to_string(::getpid()) + "_" +
                                                 std::to_string(std::rand()));
    fs::create_directories(root);
    struct Cleanup {
        fs::path p;
        ~Cleanup() { fs::remove_all(p); }
    } cleanup{root};

    FakeInstall install(root.string() + "/");
    CHistoryStore session(install, vx::platformFileSystem());
    session.AddRecord(record("http://a.example/", kLateEvening, {item("http://a.example/1.jpg")}));
    session.MarkDownloaded("http://a.example/1.jpg", "/s/1.jpg");
    EXPECT_EQ(session.Save().written, 1u);
    session.Clear();
    session.AddRecord(record("http://b.example/", kLateEvening, {item("http://b.example/1.jpg")}));
    session.MarkDownloaded("http://b.example/1.jpg", "/s/b.jpg");
    EXPECT_EQ(session.Save().written, 1u);

    EXPECT_TRUE(fs::is_regular_file(root / "History" / "2004-03-25"));
    CHistoryStore reader(install, vx::platformFileSystem());
    reader.Load();
    EXPECT_EQ(reader.dayTitles(), (std::vector<std::string>{"2004-03-25"}));
    ASSERT_EQ(reader.records().size(), 2u);
    EXPECT_EQ(reader.records()[0].pageAddress, "http://a.example/");
    EXPECT_EQ(reader.records()[1].pageAddress, "http://b.example/");
}

TEST(HistoryTime, CalendarDatesAcrossTheWholeRange) {
    struct Case {
        vx::HistoryTime t;
        int64_t year;
        int month, day, hour, minute, second, weekday;
    };
    const Case cases[] = {
        {0, 1970, 1, 1, 0, 0, 0, 4},
        {-1, 1969, 12, 31, 23, 59, 59, 3},
        {951782400, 2000, 2, 29, 0, 0, 0, 2},
        {2147483647, 2038, 1, 19, 3, 14, 7, 2},
        {2147483648, 2038, 1, 19, 3, 14, 8, 2},
        {4102444800, 2100, 1, 1, 0, 0, 0, 5},
        {-2208988800, 1900, 1, 1, 0, 0, 0, 1},
        {253402300799, 9999, 12, 31, 23, 59, 59, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        vx::CalendarTime u = vx::utcCalendarTime(c.t);
        EXPECT_EQ(u.year, c.year);
        EXPECT_EQ(u.month, c.month);
        EXPECT_EQ(u.day, c.day);
        EXPECT_EQ(u.hour, c.hour);
        EXPECT_EQ(u.minute, c.minute);
        EXPECT_EQ(u.second, c.second);
        EXPECT_EQ(u.weekday, c.weekday);
    }
    // The extremes give some date instead of failing.
    EXPECT_GT(vx::utcCalendarTime(INT64_MAX).year, 9999);
    EXPECT_LT(vx::utcCalendarTime(INT64_MIN).year, 0);
}

TEST(HistoryTime, DayNamesFollowTheLocalDate) {
    {
        ScopedTimeZone zone("UTC0");
        EXPECT_EQ(vx::dayFileName(kLateEvening), "2004-03-25");
        EXPECT_EQ(vx::dayFileName(kLateEvening + 1), "2004-03-26");
        EXPECT_EQ(vx::dayFileName(4102444800), "2100-01-01");
        EXPECT_EQ(vx::formatLocalTime(kLateEvening, "%H:%M:%S %y %% %Q"), "23:59:59 04 % %Q");
    }
    {
        // Two hours east of UTC the late evening is already the next day.
        ScopedTimeZone zone("XST-2");
        EXPECT_EQ(vx::dayFileName(kLateEvening), "2004-03-26");
        EXPECT_EQ(vx::localCalendarTime(kLateEvening).hour, 1);
    }
}

}  // namespace

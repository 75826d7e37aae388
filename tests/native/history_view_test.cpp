#include "history/history_view.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/memory_file_system.h"

namespace {

using vx::CHistoryStore;
using vx::HistoryItem;
using vx::HistoryRecord;

// Noon UTC, so the local date is the same in the time zones tests run in.
constexpr vx::HistoryTime kMarch25 = 1080216000;  // 2004-03-25
constexpr vx::HistoryTime kDay = 86400;

class HistoryViewTest : public ::testing::Test {
  protected:
    HistoryViewTest() : install_("/inst"), store_(install_, files_) {}

    void addDayFile(const std::string& name, const std::vector<HistoryRecord>& records) {
        std::string text;
        for (const HistoryRecord& r : records)
            text += CHistoryStore::recordText(r);
        files_.createFolder("/inst/History");
        files_.writeFile("/inst/History/" + name, text);
    }

    static HistoryRecord record(const std::string& page, vx::HistoryTime time,
                                std::vector<std::string> localPaths) {
        HistoryRecord r;
        r.pageAddress = page;
        r.time = time;
        for (const std::string& path : localPaths) {
            HistoryItem item;
            item.address = "http://media/" + std::to_string(r.items.size());
            item.localPath = path;
            item.downloaded = 1;
            r.items.push_back(item);
        }
        return r;
    }

    static std::vector<std::string> addresses(const std::vector<const HistoryRecord*>& pages) {
        std::vector<std::string> out;
        for (const HistoryRecord* r : pages)
            out.push_back(r->pageAddress);
        return out;
    }

    vx::test::MemoryFileSystem files_;
    vx::test::FakeInstall install_;
    CHistoryStore store_;
};

TEST_F(HistoryViewTest, PagesAreGroupedUnderTheDayOfTheirTime) {
    addDayFile("2004-03-25", {record("http://a/", kMarch25, {"C:\\s\\1.jpg"}),
                              record("http://b/", kMarch25 + 60, {"C:\\s\\2.jpg"})});
    addDayFile("2004-03-26", {record("http://c/", kMarch25 + kDay, {"C:\\s\\3.jpg"})});
    store_.Load();
    vx::HistoryView view(store_);

    EXPECT_EQ(view.days(), (std::vector<std::string>{"2004-03-25", "2004-03-26"}));
    EXPECT_EQ(addresses(view.pagesOf("2004-03-25")),
              (std::vector<std::string>{"http://a/", "http://b/"}));
    EXPECT_EQ(addresses(view.pagesOf("2004-03-26")), (std::vector<std::string>{"http://c/"}));
    EXPECT_TRUE(view.pagesOf("2004-03-27").empty());
    EXPECT_TRUE(view.pagesOf("http://a/").empty());
    ASSERT_NE(view.page("http://c/"), nullptr);
    EXPECT_EQ(view.page("http://c/")->items.size(), 1u);
    EXPECT_EQ(view.page("http://C/"), nullptr);
}

TEST_F(HistoryViewTest, PageOfTwoDaysStaysUnderTheDayLoadedFirst) {
    addDayFile("2004-03-25", {record("http://a/", kMarch25, {"C:\\s\\1.jpg"})});
    addDayFile("2004-03-26", {record("http://a/", kMarch25 + kDay, {"C:\\s\\2.jpg"}),
                              record("http://b/", kMarch25 + kDay, {"C:\\s\\3.jpg"})});
    store_.Load();
    vx::HistoryView view(store_);

    EXPECT_EQ(addresses(view.pagesOf("2004-03-25")), (std::vector<std::string>{"http://a/"}));
    EXPECT_EQ(addresses(view.pagesOf("2004-03-26")), (std::vector<std::string>{"http://b/"}));
    EXPECT_EQ(view.page("http://a/")->items.size(), 2u);
}

// A record whose time lies on another day than its file's name is shown under its own date,
// and a file name that is no date gets no pages: the day is the formatted time, not the file.
TEST_F(HistoryViewTest, DayIsTheRecordsOwnDateNotItsFile) {
    addDayFile("desktop.ini", {record("http://late/", kMarch25 + 2 * kDay, {"C:\\s\\1.jpg"})});
    store_.Load();
    vx::HistoryView view(store_);

    EXPECT_EQ(view.days(), (std::vector<std::string>{"desktop"}));
    EXPECT_TRUE(view.pagesOf("desktop").empty());
    EXPECT_EQ(addresses(view.pagesOf("2004-03-27")), (std::vector<std::string>{"http://late/"}));
}

// The grouping gives what comparing every record's formatted time with every title gives.
TEST_F(HistoryViewTest, GroupingMatchesComparingEveryRecordWithEveryDay) {
    for (int d = 0; d < 6; ++d) {
        std::vector<HistoryRecord> records;
        for (int r = 0; r < 7; ++r) {
            // Times wander across neighbouring days, and pages repeat across files.
            const vx::HistoryTime t = kMarch25 + ((d * 7 + r) % 9) * kDay / 2;
            records.push_back(record("http://p" + std::to_string((d * 5 + r) % 17) + "/", t,
                                     {"C:\\s\\" + std::to_string(r) + ".jpg"}));
        }
        addDayFile(vx::dayFileName(kMarch25 + d * kDay), records);
    }
    store_.Load();
    vx::HistoryView view(store_);

    std::vector<std::string> wanted;
    std::vector<std::string> got;
    for (const std::string& day : view.days()) {
        for (const HistoryRecord& r : store_.records())
            if (vx::dayFileName(r.time) == day)
                wanted.push_back(day + " " + r.pageAddress.str());
        for (const HistoryRecord* r : view.pagesOf(day))
            got.push_back(day + " " + r->pageAddress.str());
    }
    EXPECT_EQ(got, wanted);
    EXPECT_FALSE(got.empty());
}

TEST(HistoryFileSize, WholeKilobytesWithSmallFilesAsOne) {
    EXPECT_EQ(vx::fileSizeText(std::nullopt), "");
    EXPECT_EQ(vx::fileSizeText(0), "1 KB");
    EXPECT_EQ(vx::fileSizeText(1023), "1 KB");
    EXPECT_EQ(vx::fileSizeText(1024), "1 KB");
    EXPECT_EQ(vx::fileSizeText(2047), "1 KB");
    EXPECT_EQ(vx::fileSizeText(2048), "2 KB");
    // Files beyond 2 GB keep their size instead of wrapping.
    EXPECT_EQ(vx::fileSizeText(5ull << 30), "5242880 KB");
}

TEST(HistoryFileRows, NamesAfterTheLastBackslash) {
    EXPECT_EQ(vx::savedFileName("C:\\My Pictures\\a\\b.jpg"), "b.jpg");
    EXPECT_EQ(vx::savedFileName("b.jpg"), "");
    EXPECT_EQ(vx::savedFileName("C:\\folder\\"), "");
    EXPECT_EQ(vx::savedFileName("/unix/style.jpg"), "");
}

TEST(HistoryFileRows, OneRowPerNameWithoutRegardToCase) {
    HistoryRecord r;
    auto add = [&r](const std::string& address, const std::string& path) {
        HistoryItem item;
        item.address = address;
        item.localPath = path;
        r.items.push_back(item);
    };
    add("http://m/1", "C:\\a\\Photo.JPG");
    add("http://m/2", "no-folder.jpg");
    add("http://m/3", "C:\\b\\photo.jpg");
    add("http://m/4", "C:\\c\\other.png");
    add("http://m/5", "C:\\d\\Photo.JPG");
    add("http://m/6", "C:\\e\\");
    std::map<std::string, uint64_t> sizes{{"C:\\a\\Photo.JPG", 2048}};
    std::vector<std::string> asked;
    auto sizeOf = [&](const std::string& path) -> std::optional<uint64_t> {
        asked.push_back(path);
        auto it = sizes.find(path);
        return it == sizes.end() ? std::nullopt : std::optional<uint64_t>(it->second);
    };

    std::vector<vx::HistoryFileRow> rows = vx::historyFileRows(r, sizeOf);

    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "Photo.JPG");
    EXPECT_EQ(rows[0].size, "2 KB");
    EXPECT_EQ(rows[0].path, "C:\\a\\Photo.JPG");
    EXPECT_EQ(rows[0].address, "http://m/1");
    EXPECT_EQ(rows[1].name, "other.png");
    EXPECT_EQ(rows[1].size, "");
    EXPECT_EQ(rows[1].address, "http://m/4");
    // Only shown files are looked at on disk.
    EXPECT_EQ(asked, (std::vector<std::string>{"C:\\a\\Photo.JPG", "C:\\c\\other.png"}));
}

TEST(HistoryFileRows, TheKeyDecidesWhichNamesAreEqual) {
    HistoryRecord r;
    for (const char* path : {"C:\\a\\X.jpg", "C:\\b\\x.jpg"}) {
        HistoryItem item;
        item.localPath = path;
        r.items.push_back(item);
    }
    auto exact = [](std::string_view name) { return std::string(name); };
    EXPECT_EQ(vx::historyFileRows(r, nullptr, exact).size(), 2u);
    EXPECT_EQ(vx::historyFileRows(r, nullptr).size(), 1u);
}

}  // namespace

namespace {

TEST(HistoryClear, DeletesTheFilesOfTheFolderOnly) {
    vx::test::MemoryFileSystem files;
    vx::test::FakeInstall install("/inst");
    files.createFolder("/inst/History");
    files.createFolder("/inst/History/kept");
    files.writeFile("/inst/History/2004-03-25", "<DOWNLOAD/>");
    files.writeFile("/inst/History/desktop.ini", "x");
    files.writeFile("/inst/History/kept/inner", "y");
    files.writeFile("/inst/config.xml", "z");

    EXPECT_EQ(vx::deleteDayFiles(install, files), 2u);

    EXPECT_FALSE(files.exists("/inst/History/2004-03-25"));
    EXPECT_FALSE(files.exists("/inst/History/desktop.ini"));
    EXPECT_TRUE(files.isFolder("/inst/History"));
    EXPECT_TRUE(files.exists("/inst/History/kept/inner"));
    EXPECT_TRUE(files.exists("/inst/config.xml"));
}

TEST(HistoryClear, NothingWithoutAnInstallFolderOrHistory) {
    vx::test::MemoryFileSystem files;
    vx::test::FakeInstall none("");
    files.writeFile("History/a", "x");
    EXPECT_EQ(vx::deleteDayFiles(none, files), 0u);
    vx::test::FakeInstall install("/inst");
    EXPECT_EQ(vx::deleteDayFiles(install, files), 0u);
}

}  // namespace

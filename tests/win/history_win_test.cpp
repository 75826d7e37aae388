#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "history/history_store.h"
#include "win_test_util.h"

namespace {

using vx::CHistoryStore;
using vx::HistoryItem;
using vx::HistoryRecord;

// Noon UTC, so the local date is the same in every time zone.
constexpr vx::HistoryTime kNewYear2000 = 946728000;    // 2000-01-01
constexpr vx::HistoryTime kNewYear2100 = 4102488000;   // 2100-01-01
constexpr vx::HistoryTime kNewYear3000 = 32503723200;  // 3000-01-01

// The "History" folder of the real install folder, with the day files these tests use kept
// aside and put back afterwards; the folder is removed again when the test created it.
class HistoryFolderGuard {
  public:
    explicit HistoryFolderGuard(std::vector<std::string> days) : days_(std::move(days)) {
        folder_ = wintest::besideTestProgram("History");
        createdFolder_ = !vx::platformFileSystem().isFolder(folder_);
        for (const std::string& day : days_) {
            saved_.push_back(vx::platformFileSystem().readFile(path(day)));
            DeleteFileA(path(day).c_str());
        }
    }
    ~HistoryFolderGuard() {
        for (size_t i = 0; i < days_.size(); ++i) {
            DeleteFileA(path(days_[i]).c_str());
            if (saved_[i])
                vx::platformFileSystem().writeFile(path(days_[i]), *saved_[i]);
        }
        if (createdFolder_)
            RemoveDirectoryA(folder_.c_str());
    }
    std::string path(const std::string& day) const { return folder_ + "\\" + day; }
    std::optional<std::string> read(const std::string& day) const {
        return vx::platformFileSystem().readFile(path(day));
    }

  private:
    std::string folder_;
    bool createdFolder_ = false;
    std::vector<std::string> days_;
    std::vector<std::optional<std::string>> saved_;
};

HistoryRecord pageRecord(const std::string& page, vx::HistoryTime time,
                         const std::vector<std::string>& media) {
    HistoryRecord r;
    r.pageAddress = page;
    r.time = time;
    for (const std::string& m : media) {
        HistoryItem i;
        i.address = m;
        r.items.push_back(i);
    }
    return r;
}

const HistoryRecord* findPage(const CHistoryStore& store, const std::string& page) {
    for (const HistoryRecord& r : store.records())
        if (r.pageAddress == page)
            return &r;
    return nullptr;
}

CHistoryStore platformStore() {
    return CHistoryStore(vx::platformInstallEnvironment(), vx::platformFileSystem());
}

TEST(HistoryWin, DayNamesUseTheLocalDateAlsoBeyond2038And3000) {
    EXPECT_EQ(vx::dayFileName(kNewYear2000), "2000-01-01");
    EXPECT_EQ(vx::dayFileName(kNewYear2100), "2100-01-01");
    EXPECT_EQ(vx::dayFileName(kNewYear3000), "3000-01-01");
}

TEST(HistoryWin, DayFilesAreWrittenInTheInstallFolderAndReadBack) {
    HistoryFolderGuard guard({"2000-01-01", "2100-01-01"});
    CHistoryStore session = platformStore();
    session.AddRecord(pageRecord("http://win.example/a?x=1&y=2", kNewYear2000,
                                 {"http://win.example/1.jpg", "http://win.example/2.jpg"}));
    session.AddRecord(
        pageRecord("http://win.example/b", kNewYear2100, {"http://win.example/3.mp3"}));
    session.MarkDownloaded("http://win.example/1.jpg", "C:\\Save\\1.jpg");
    session.MarkDownloaded("http://win.example/3.mp3", "C:\\Save\\3.mp3");
    vx::HistorySaveResult result = session.Save();
    EXPECT_EQ(result.written, 2u);
    EXPECT_EQ(result.failed, 0u);

    EXPECT_EQ(
        guard.read("2000-01-01"),
        std::string("<DOWNLOAD>\r\n<DOWNLOAD_TIME>946728000</DOWNLOAD_TIME>\r\n"
                    "<REFERRER_URL>http://win.example/a?x=1&amp;y=2</REFERRER_URL>\r\n"
                    "<DOWNLOAD_ITEM>\r\n<DOWNLOAD_FILE>http://win.example/1.jpg</DOWNLOAD_FILE>"
                    "\r\n<LOCAL_FILE>C:\\Save\\1.jpg</LOCAL_FILE>\r\n</DOWNLOAD_ITEM>\r\n"
                    "</DOWNLOAD>\r\n"));

    CHistoryStore window = platformStore();
    window.Load();
    const auto& titles = window.dayTitles();
    EXPECT_NE(std::find(titles.begin(), titles.end(), "2000-01-01"), titles.end());
    EXPECT_NE(std::find(titles.begin(), titles.end(), "2100-01-01"), titles.end());
    const HistoryRecord* a = findPage(window, "http://win.example/a?x=1&y=2");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->time, kNewYear2000);
    ASSERT_EQ(a->items.size(), 1u);
    EXPECT_EQ(a->items[0].address, "http://win.example/1.jpg");
    EXPECT_EQ(a->items[0].localPath, "C:\\Save\\1.jpg");
    const HistoryRecord* b = findPage(window, "http://win.example/b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->time, kNewYear2100);
}

TEST(HistoryWin, AppendingKeepsEarlierRecordsAndALockedDayFileCostsOnlyItsRecord) {
    HistoryFolderGuard guard({"2000-01-01", "2100-01-01"});
    CHistoryStore first = platformStore();
    first.AddRecord(pageRecord("http://win.example/early", kNewYear2000, {"http://win.example/e"}));
    first.MarkDownloaded("http://win.example/e", "C:\\Save\\e");
    ASSERT_EQ(first.Save().written, 1u);
    const std::optional<std::string> before = guard.read("2000-01-01");
    ASSERT_TRUE(before.has_value());

    // Another program holds the 2100 file open without sharing.
    HANDLE held = CreateFileA(guard.path("2100-01-01").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CHistoryStore second = platformStore();
    second.AddRecord(
        pageRecord("http://win.example/locked", kNewYear2100, {"http://win.example/l"}));
    second.AddRecord(pageRecord("http://win.example/late", kNewYear2000, {"http://win.example/t"}));
    second.MarkDownloaded("http://win.example/l", "C:\\Save\\l");
    second.MarkDownloaded("http://win.example/t", "C:\\Save\\t");
    vx::HistorySaveResult result = second.Save();
    CloseHandle(held);
    EXPECT_EQ(result.written, 1u);
    EXPECT_EQ(result.failed, 1u);

    const std::optional<std::string> after = guard.read("2000-01-01");
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->substr(0, before->size()), *before);
    EXPECT_EQ(guard.read("2100-01-01"), std::string());

    CHistoryStore window = platformStore();
    window.Load();
    EXPECT_NE(findPage(window, "http://win.example/early"), nullptr);
    EXPECT_NE(findPage(window, "http://win.example/late"), nullptr);
    EXPECT_EQ(findPage(window, "http://win.example/locked"), nullptr);
}

TEST(HistoryWin, HistoryFolderLivesInTheFolderOfTheRunningProgram) {
    CHistoryStore store = platformStore();
    EXPECT_EQ(store.historyFolder(), wintest::besideTestProgram("History"));
    const std::string install = vx::platformInstallEnvironment().installFolder();
    ASSERT_FALSE(install.empty());
    EXPECT_EQ(install.back(), '\\');
}

}  // namespace

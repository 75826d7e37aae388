#pragma once
// The download history: for every page a session took media from, the page's address, a time
// and each file saved from it. It lives in the "History" folder of the install folder, one file
// per local calendar day, as DOWNLOAD elements appended one after another.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/fixed_text.h"
#include "history/history_time.h"

namespace vx {

class FileSystem;
class InstallEnvironment;

// One media file of a page.
struct HistoryItem {
    int32_t downloaded = 0;    // nonzero once MarkDownloaded took it; 0 when read back
    FixedText<260> address;    // the media address as the page gave it, at most 259 bytes
    FixedText<260> localPath;  // full path of the saved file; empty until marked

    friend bool operator==(const HistoryItem&, const HistoryItem&) = default;
};

// One page.
struct HistoryRecord {
    std::vector<HistoryItem> items;  // in the order they were added
    FixedText<520> pageAddress;      // written as REFERRER_URL, at most 519 bytes
    HistoryTime time = currentTime();

    friend bool operator==(const HistoryRecord&, const HistoryRecord&) = default;
};

// What Save did: records written, and records that had items but could not be written (no
// install folder, the day file could not be opened or written). Records without items count in
// neither.
struct HistorySaveResult {
    std::size_t written = 0;
    std::size_t failed = 0;
};

class CHistoryStore {
  public:
    CHistoryStore(InstallEnvironment& environment, FileSystem& files);

    // Empties the records (with their items) and the day titles.
    void Clear();
    // Merges by exact page address: the items of a record whose page is already stored are
    // appended to the first such record, which keeps its own time; any other record is appended.
    void AddRecord(const HistoryRecord& record);
    void AddRecord(HistoryRecord&& record);
    // Marks the first item, in record order and then item order, whose address equals `address`
    // exactly, even when it was marked before. Nothing changes when none matches.
    void MarkDownloaded(std::string_view address, std::string_view localPath);
    // Appends each record that has items to the day file of its own local date, one block per
    // record. A record that cannot be written is skipped and the others are still written; what
    // a day file already holds is never rewritten.
    HistorySaveResult Save();
    // Clears, then reads every file of the "History" folder in listing order as a day file.
    void Load();
    // Reads one day file and adds its records that have items.
    void LoadDayFile(const std::string& path);

    const std::vector<HistoryRecord>& records() const { return records_; }
    // The record of page `pageAddress` (compared exactly), or null.
    const HistoryRecord* findRecord(std::string_view pageAddress) const;
    // Titles (names without extension) of the files found by the last Load, in listing order.
    const std::vector<std::string>& dayTitles() const { return dayTitles_; }

    // The "History" folder, or an empty text when the install folder is unknown.
    std::string historyFolder() const;

    // The text Save appends for one record: DOWNLOAD with DOWNLOAD_TIME, REFERRER_URL and one
    // DOWNLOAD_ITEM per downloaded item, one element per line, CR LF line ends.
    static std::string recordText(const HistoryRecord& record);

  private:
    struct ItemPosition {
        std::size_t record = 0;
        std::size_t item = 0;
    };
    // Lets the maps be searched with a string_view, without building a key string per call.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <typename Value>
    using TextMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

    template <typename Record>
    void addRecord(Record&& record);
    void indexItem(const std::string& address, ItemPosition position);
    void addParsedRecords(const std::string& content);
    bool readRecords(const std::string& content);

    InstallEnvironment& environment_;
    FileSystem& files_;
    std::vector<HistoryRecord> records_;
    std::vector<std::string> dayTitles_;
    // First record of each page address, and the first position of each media address, so that
    // AddRecord and MarkDownloaded keep their first-match rule without walking the whole store.
    TextMap<std::size_t> recordByPage_;
    TextMap<ItemPosition> firstItemByAddress_;
};

}  // namespace vx

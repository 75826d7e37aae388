// Feeds arbitrary bytes to the history reader as one day file, under single-byte and double-byte
// rules: every record read has items and fits its fixed fields, no page is stored twice, and the
// records written back with recordText and loaded from their day file are the same records.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/mbcs.h"
#include "fuzz_check.h"
#include "history/history_store.h"
#include "support/memory_file_system.h"

namespace {

using vx::CHistoryStore;
using vx::HistoryItem;
using vx::HistoryRecord;

constexpr char kDayFile[] = "2004-03-25";

void require(bool condition, const char* what) {
    vx::fuzz::require(condition, "history_fuzz", what);
}

// The store's records after LoadDayFile (or, with `wholeFolder`, Load) over `content`.
std::vector<HistoryRecord> readDayFile(const std::string& content, bool wholeFolder) {
    vx::test::MemoryFileSystem files;
    vx::test::FakeInstall install(std::string("fuzz") + vx::pathSeparator() + "install");
    CHistoryStore store(install, files);
    const std::string folder = store.historyFolder();
    files.createFolder(folder);
    const std::string path = vx::joinPath(folder, kDayFile);
    files.writeFile(path, content);
    if (wholeFolder) {
        store.Load();
        require(store.dayTitles() == std::vector<std::string>{kDayFile}, "one day title");
    } else {
        store.LoadDayFile(path);
    }
    return store.records();
}

void checkRecords(const std::vector<HistoryRecord>& records) {
    std::set<std::string> pages;
    for (const HistoryRecord& record : records) {
        require(!record.items.empty(), "a record read has items");
        require(record.pageAddress.size() <= 519, "page address within its field");
        require(pages.insert(record.pageAddress.str()).second, "one record per page");
        for (const HistoryItem& item : record.items) {
            require(item.downloaded == 0, "items read back are not marked");
            require(item.address.size() <= 259, "media address within its field");
            require(item.localPath.size() <= 259, "local path within its field");
        }
    }
}

bool holdsHalfCharacter(const std::vector<HistoryRecord>& records) {
    for (const HistoryRecord& record : records) {
        if (vx::fuzz::endsWithHalfCharacter(record.pageAddress))
            return true;
        for (const HistoryItem& item : record.items) {
            if (vx::fuzz::endsWithHalfCharacter(item.address) ||
                vx::fuzz::endsWithHalfCharacter(item.localPath))
                return true;
        }
    }
    return false;
}

void runOnce(const std::string& content) {
    const std::vector<HistoryRecord> records = readDayFile(content, false);
    checkRecords(records);
    // Pairs no code page has, and half a character, are not written back whole.
    if (!vx::fuzz::trailBytesAreReal(content) || holdsHalfCharacter(records))
        return;

    // Save writes only marked items; marking all of them writes every item read.
    std::string written;
    for (HistoryRecord record : records) {
        for (HistoryItem& item : record.items)
            item.downloaded = 1;
        written += CHistoryStore::recordText(record);
    }
    require(readDayFile(written, true) == records, "records written back read the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string content(reinterpret_cast<const char*>(data), size);
    vx::mbcs::useSingleByte();
    runOnce(content);
    vx::mbcs::useCodePage936();
    runOnce(content);
    vx::mbcs::useSingleByte();
    return 0;
}

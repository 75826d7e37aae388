#pragma once
// What the history window shows, taken from one loaded store: the days, the pages of a day and
// the files of a page. The records are grouped by their local day once per load, so the window
// opens in time linear in the history's size.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "history/history_store.h"

namespace vx {

class HistoryView {
  public:
    HistoryView() = default;
    // Groups the store's records by the day file name of their time. The store must outlive this
    // view and stay unchanged while it is used.
    explicit HistoryView(const CHistoryStore& store);

    // The day titles of the store, in its order.
    const std::vector<std::string>& days() const;
    // The records whose local day, formatted as day files are named, equals `day` exactly, in
    // the store's order.
    std::vector<const HistoryRecord*> pagesOf(std::string_view day) const;
    // The record of page `address` (compared exactly), or null.
    const HistoryRecord* page(std::string_view address) const;

  private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const noexcept {
            return std::hash<std::string_view>{}(text);
        }
    };

    const CHistoryStore* store_ = nullptr;
    std::unordered_map<std::string, std::vector<std::size_t>, TextHash, std::equal_to<>> byDay_;
};

// One row of the file list of a page.
struct HistoryFileRow {
    std::string name;     // the local path after its last "\"
    std::string size;     // "%d KB", or empty when the file is gone
    std::string path;     // the full local path
    std::string address;  // the media address
};

// The size column's text: whole kilobytes, a file under 1 KB counting as 1 KB; empty when the
// size is unknown (the file is gone).
std::string fileSizeText(std::optional<uint64_t> bytes);

// The part of a local path after its last backslash; empty when there is none.
std::string_view savedFileName(std::string_view localPath);

// Maps a file name to the key under which names count as equal (the window compares them without
// regard to case, by the system's rules).
using NameKey = std::function<std::string(std::string_view)>;
// ASCII letters folded to lower case; other bytes stay.
std::string asciiFoldedName(std::string_view name);

// The file rows of `record`: items without a file name are left out, and of items whose names
// share a key only the first is shown. `sizeOf` gives a saved file's size, nothing when it is
// gone.
std::vector<HistoryFileRow> historyFileRows(
    const HistoryRecord& record,
    const std::function<std::optional<uint64_t>(const std::string&)>& sizeOf,
    const NameKey& key = asciiFoldedName);

// "&Clear Download History": deletes every file of the "History" folder; subfolders and the folder
// itself stay, and a file that cannot be deleted stays silently. The count of files deleted.
std::size_t deleteDayFiles(InstallEnvironment& environment, FileSystem& files);

}  // namespace vx

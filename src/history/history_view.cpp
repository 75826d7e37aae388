#include "history/history_view.h"

#include <cstdio>
#include <unordered_set>

#include "base/file_system.h"
#include "base/install_folder.h"

namespace vx {

HistoryView::HistoryView(const CHistoryStore& store) : store_(&store) {
    const std::vector<HistoryRecord>& records = store.records();
    // One formatted date per record; consecutive records mostly share a day, and a record's
    // time is what decides, so the last formatted time is reused.
    HistoryTime lastTime = 0;
    std::vector<std::size_t>* lastDay = nullptr;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!lastDay || records[i].time != lastTime) {
            lastTime = records[i].time;
            lastDay = &byDay_[dayFileName(lastTime)];
        }
        lastDay->push_back(i);
    }
}

const std::vector<std::string>& HistoryView::days() const {
    static const std::vector<std::string> kNone;
    return store_ ? store_->dayTitles() : kNone;
}

std::vector<const HistoryRecord*> HistoryView::pagesOf(std::string_view day) const {
    std::vector<const HistoryRecord*> pages;
    if (!store_)
        return pages;
    auto found = byDay_.find(day);
    if (found == byDay_.end())
        return pages;
    pages.reserve(found->second.size());
    for (std::size_t i : found->second)
        pages.push_back(&store_->records()[i]);
    return pages;
}

const HistoryRecord* HistoryView::page(std::string_view address) const {
    return store_ ? store_->findRecord(address) : nullptr;
}

std::string fileSizeText(std::optional<uint64_t> bytes) {
    if (!bytes)
        return std::string();
    const uint64_t kilobytes = (*bytes < 1024 ? 1024 : *bytes) / 1024;
    return std::to_string(kilobytes) + " KB";
}

std::string_view savedFileName(std::string_view localPath) {
    const std::size_t slash = localPath.rfind('\\');
    if (slash == std::string_view::npos)
        return std::string_view();
    return localPath.substr(slash + 1);
}

std::string asciiFoldedName(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

std::vector<HistoryFileRow> historyFileRows(
    const HistoryRecord& record,
    const std::function<std::optional<uint64_t>(const std::string&)>& sizeOf, const NameKey& key) {
    std::vector<HistoryFileRow> rows;
    std::unordered_set<std::string> shown;
    for (const HistoryItem& item : record.items) {
        const std::string_view name = savedFileName(item.localPath.str());
        if (name.empty())
            continue;
        if (!shown.insert(key(name)).second)
            continue;
        HistoryFileRow row;
        row.name = std::string(name);
        row.path = item.localPath.str();
        row.size = fileSizeText(sizeOf ? sizeOf(row.path) : std::nullopt);
        row.address = item.address.str();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::size_t deleteDayFiles(InstallEnvironment& environment, FileSystem& files) {
    const std::string install = environment.installFolder();
    if (install.empty())
        return 0;
    const std::string folder = joinPath(install, "History");
    std::size_t deleted = 0;
    for (const FolderEntry& entry : files.listFolder(folder)) {
        if (!entry.isFolder && files.removeFile(joinPath(folder, entry.name)))
            ++deleted;
    }
    return deleted;
}

}  // namespace vx

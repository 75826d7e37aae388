#include "history/history_store.h"

#include <utility>

#include "base/decimal.h"
#include "base/file_system.h"
#include "base/install_folder.h"
#include "xml/xml_doc.h"

namespace vx {

namespace {

// The name without its extension, as a file listing gives a file's title.
std::string fileTitle(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

constexpr std::string_view kRecordStart = "<DOWNLOAD>";

}  // namespace

CHistoryStore::CHistoryStore(InstallEnvironment& environment, FileSystem& files)
    : environment_(environment), files_(files) {}

void CHistoryStore::Clear() {
    records_.clear();
    dayTitles_.clear();
    recordByPage_.clear();
    firstItemByAddress_.clear();
}

void CHistoryStore::indexItem(const std::string& address, ItemPosition position) {
    auto [it, inserted] = firstItemByAddress_.try_emplace(address, position);
    if (inserted)
        return;
    // Items merged into an earlier record can come before an address first seen in a later one.
    const ItemPosition& known = it->second;
    if (position.record < known.record ||
        (position.record == known.record && position.item < known.item))
        it->second = position;
}

template <typename Record>
void CHistoryStore::addRecord(Record&& record) {
    auto found = recordByPage_.find(std::string_view(record.pageAddress.str()));
    if (found != recordByPage_.end()) {
        const std::size_t r = found->second;
        std::vector<HistoryItem>& items = records_[r].items;
        items.reserve(items.size() + record.items.size());
        for (const HistoryItem& item : record.items) {
            items.push_back(item);
            indexItem(item.address, {r, items.size() - 1});
        }
        return;
    }
    const std::size_t r = records_.size();
    records_.push_back(std::forward<Record>(record));
    const HistoryRecord& stored = records_.back();
    recordByPage_.emplace(stored.pageAddress.str(), r);
    for (std::size_t i = 0; i < stored.items.size(); ++i)
        indexItem(stored.items[i].address, {r, i});
}

void CHistoryStore::AddRecord(const HistoryRecord& record) {
    addRecord(record);
}

void CHistoryStore::AddRecord(HistoryRecord&& record) {
    addRecord(std::move(record));
}

void CHistoryStore::MarkDownloaded(std::string_view address, std::string_view localPath) {
    auto found = firstItemByAddress_.find(address);
    if (found == firstItemByAddress_.end())
        return;
    HistoryItem& item = records_[found->second.record].items[found->second.item];
    item.localPath = localPath;
    item.downloaded = 1;
}

const HistoryRecord* CHistoryStore::findRecord(std::string_view pageAddress) const {
    auto found = recordByPage_.find(pageAddress);
    return found == recordByPage_.end() ? nullptr : &records_[found->second];
}

std::string CHistoryStore::historyFolder() const {
    const std::string install = environment_.installFolder();
    if (install.empty())
        return std::string();
    return joinPath(install, "History");
}

std::string CHistoryStore::recordText(const HistoryRecord& record) {
    XmlDoc doc;
    doc.addSibling("DOWNLOAD", nullptr);
    doc.addChild("DOWNLOAD_TIME", std::to_string(record.time).c_str());
    doc.addChild("REFERRER_URL", record.pageAddress.c_str());
    for (const HistoryItem& item : record.items) {
        if (item.downloaded == 0)
            continue;
        doc.addChild("DOWNLOAD_ITEM", nullptr);
        doc.enterChild();
        doc.addChild("DOWNLOAD_FILE", item.address.c_str());
        doc.addChild("LOCAL_FILE", item.localPath.c_str());
        doc.leaveToParent();
    }
    return doc.getText();
}

HistorySaveResult CHistoryStore::Save() {
    HistorySaveResult result;
    const std::string folder = historyFolder();
    bool folderReady = false;
    for (const HistoryRecord& record : records_) {
        if (record.items.empty())
            continue;
        if (folder.empty()) {
            ++result.failed;
            continue;
        }
        // Tried again for every record until it succeeds: the folder may appear meanwhile.
        if (!folderReady)
            folderReady = files_.createFolder(folder);
        const std::string path = joinPath(folder, dayFileName(record.time));
        // One append per record: a record that fails leaves the others, and everything the day
        // file held before, as they were.
        if (files_.appendFile(path, recordText(record)))
            ++result.written;
        else
            ++result.failed;
    }
    return result;
}

void CHistoryStore::Load() {
    Clear();
    const std::string folder = historyFolder();
    if (folder.empty())
        return;
    for (const FolderEntry& entry : files_.listFolder(folder)) {
        if (entry.isFolder)
            continue;
        dayTitles_.push_back(fileTitle(entry.name));
        LoadDayFile(joinPath(folder, entry.name));
    }
}

void CHistoryStore::LoadDayFile(const std::string& path) {
    std::optional<std::string> content = files_.readFile(path);
    if (!content)
        return;
    addParsedRecords(*content);
}

void CHistoryStore::addParsedRecords(const std::string& content) {
    if (readRecords(content))
        return;
    // The file does not parse as a whole, typically because a write was cut short (disk full)
    // and later records were appended after the broken one. Each record block is then read on
    // its own, so one damaged block costs only itself.
    std::size_t start = content.find(kRecordStart);
    while (start != std::string::npos) {
        const std::size_t next = content.find(kRecordStart, start + kRecordStart.size());
        const std::size_t length = next == std::string::npos ? std::string::npos : next - start;
        readRecords(content.substr(start, length));
        start = next;
    }
}

bool CHistoryStore::readRecords(const std::string& content) {
    // The blocks stand one after another without a root; one wrapping element makes them all
    // children of a single document.
    std::string text;
    text.reserve(content.size() + 16);
    text += "<ROOT>\n";
    text += content;
    text += "\n</ROOT>";
    XmlDoc doc;
    if (!doc.setText(text))
        return false;
    if (!doc.findSibling("ROOT"))
        return true;
    const HistoryTime now = currentTime();
    while (doc.findChild("DOWNLOAD")) {
        HistoryRecord record;
        record.time = now;
        doc.enterChild();
        if (doc.findChild("DOWNLOAD_TIME"))
            record.time = leadingDecimal64(doc.getChildData());
        if (doc.findChild("REFERRER_URL"))
            record.pageAddress = doc.getChildData();
        if (doc.findChild("DOWNLOAD_ITEM")) {
            do {
                doc.enterChild();
                HistoryItem item;
                if (doc.findChild("DOWNLOAD_FILE"))
                    item.address = doc.getChildData();
                if (doc.findChild("LOCAL_FILE"))
                    item.localPath = doc.getChildData();
                doc.leaveToParent();
                record.items.push_back(std::move(item));
            } while (doc.findChild("DOWNLOAD_ITEM"));
        }
        doc.leaveToParent();
        if (!record.items.empty())
            AddRecord(std::move(record));
    }
    return true;
}

}  // namespace vx

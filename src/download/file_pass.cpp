#include "download/file_pass.h"

#include <algorithm>
#include <new>

#include "base/string_table.h"
#include "download/naming.h"
#include "download/filters.h"
#include "history/history_store.h"
#include "resources/resource.h"
#include "settings/download_settings.h"

namespace vx {

namespace {

std::string sizeText(uint64_t size) {
    return formatText(tableText(IDS_FILE_SIZE_BYTES), {std::to_string(size)});
}

constexpr uint64_t kKeptBodyBytes = 32u << 20;

bool isSuccess(int status) {
    return status >= 200 && status <= 299;
}

// Runs one step of the pass; a failure inside it (no memory, no thread) costs only that step.
template <typename Step>
bool guarded(Step&& step) noexcept {
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

void FilePass::passOver(const std::string& address, const std::string& reason) {
    ++counts_.passedOver;
    ports_.sink->passedOver(address, reason);
}

uint64_t percentOf(uint64_t position, uint64_t total) {
    if (total == 0)
        position = total = 1;
    position = std::min(position, total);
    return static_cast<uint64_t>(static_cast<unsigned __int128>(position) * 100 / total);
}

std::string percentText(uint64_t position, uint64_t total) {
    return formatText("%d%% Complete", {std::to_string(percentOf(position, total))});
}

bool copyMayContinue(const SessionFlags& flags) {
    return flags.running.load() == 1 && flags.continueCurrent.load() == 1;
}

SettingsSource settingsOf(const DownloadSettings& settings) {
    return [&settings] { return settings; };
}

SettingsSource settingsOf(const SharedDownloadSettings& settings) {
    return [&settings] { return settings.get(); };
}

FilePass::FilePass(SessionHost host, SettingsSource settings, SessionFlags& flags,
                   CHistoryStore* history, FilePassPorts ports, FilePassOptions options)
    : host_(host),
      settings_(std::move(settings)),
      flags_(flags),
      history_(history),
      ports_(std::move(ports)),
      options_(options),
      namer_(*ports_.files) {
    if (options_.readChunkBytes == 0)
        options_.readChunkBytes = 4096;
}

std::string FilePass::saveFolder() {
    // Resolved once per folder text: the pass stands in the folder after entering it, so
    // resolving a relative text again would name a folder inside itself.
    std::string text = settings_().saveFolder.str();
    if (!folderResolved_ || text != folderText_) {
        folderPath_ = ports_.files->fullPath(text);
        folderText_ = std::move(text);
        folderResolved_ = true;
    }
    return folderPath_;
}

bool FilePass::isFiltered(uint64_t size) const {
    return isSizeFiltered(settings_(), size);
}

void FilePass::show(std::string source, std::string file, uint64_t sizeShown,
                    uint64_t percentTotal) {
    texts_.source = std::move(source);
    texts_.file = std::move(file);
    texts_.size = sizeText(sizeShown);
    texts_.percent = percentText(0, percentTotal);
    shownPercent_ = percentOf(0, percentTotal);
    ports_.sink->showTexts(texts_);
}

void FilePass::startFile(std::string source, std::string file, uint64_t size) {
    texts_.source = std::move(source);
    texts_.file = std::move(file);
    texts_.size = sizeText(size);
    texts_.percent = percentText(0, size);
    shownPercent_ = percentOf(0, size);
    lastRefresh_ = std::chrono::steady_clock::now();
    ports_.sink->startFile(texts_, size);
}

void FilePass::showPosition(uint64_t position, uint64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (position < total && now - lastRefresh_ < options_.refreshInterval)
        return;
    lastRefresh_ = now;
    // The texts go along only when the percent changed, not for every chunk.
    const uint64_t percent = percentOf(position, total);
    const ProgressTexts* changed = nullptr;
    if (percent != shownPercent_) {
        shownPercent_ = percent;
        texts_.percent = percentText(position, total);
        changed = &texts_;
    }
    ports_.sink->showProgress(position, changed);
}

void FilePass::open() {
    http_ = ports_.openInternet ? ports_.openInternet() : nullptr;
    cache_ = ports_.openCache ? ports_.openCache() : nullptr;
}

void FilePass::close() {
    lookahead_.reset();
    cache_.reset();
    http_.reset();
}

void FilePass::run(const MediaUrlList& media) {
    ProgressSink& sink = *ports_.sink;
    guarded([&] {
        std::string folder = saveFolder();
        if (folderText_.empty() || !ports_.files->enterFolder(folder)) {
            sink.showMessage(IDS_FOLDER_NOT_EXIST,
                             formatText(tableText(IDS_FOLDER_NOT_EXIST), {folderText_}));
            sink.openSettingsSheet();
        }
    });
    guarded([&] {
        sink.setCaption(tableText(IDS_DOWNLOADING_FILES));
        if (host_ == SessionHost::MainWindow)
            sink.showCancelCurrent(true);
    });

    // Whatever fails on the way, the session ends below and what was saved is recorded.
    if (!guarded([&] { open(); }))
        close();
    for (std::size_t i = 0; i < media.size(); ++i) {
        if (flags_.running.load() != 1)
            break;
        if (host_ == SessionHost::DownloadWindow && flags_.stopRequested.load() != 0)
            break;
        if (!guarded([&] { fetchOne(media, i); }))
            guarded([&] { passOver(media[i], "the address could not be handled"); });
    }
    guarded([&] { lookahead_.reset(); });
    guarded([&] { close(); });

    flags_.phase = static_cast<int32_t>(SessionPhase::Finished);
    guarded([&] { sink.setCaption(tableText(IDS_DOWNLOAD_COMPLETE)); });
    guarded([&] { sink.setCancelAllText(tableText(IDS_BUTTON_OK)); });
    guarded([&] { sink.showCancelCurrent(false); });
    flags_.running = 0;
    if (host_ == SessionHost::DownloadWindow)
        flags_.stopRequested = 1;
    if (history_)
        guarded([&] { counts_.historyNotSaved = history_->Save().failed; });
}

void FilePass::fetchOne(const MediaUrlList& media, std::size_t index) {
    const std::string& address = media[index];
    // Started with the first file, so that a session stopped before it looks nothing up.
    if (!lookaheadTried_ && cache_ && media.size() > 1 && ports_.openCache) {
        lookaheadTried_ = true;
        guarded([&] {
            if (std::unique_ptr<UrlCache> own = ports_.openCache())
                lookahead_ = std::make_unique<CacheLookahead>(std::move(own), media);
        });
    }
    std::optional<CacheEntry> entry;
    if (lookahead_)
        entry = lookahead_->take(index);
    else if (cache_)
        entry = cache_->lookup(address);
    if (entry) {
        fetchFromCache(address, *entry);
    } else {
        flags_.continueCurrent = 1;
        fetchOverHttp(address);
    }
}

void FilePass::fetchFromCache(const std::string& address, const CacheEntry& entry) {
    std::string name = mediaFileName(address);
    if (isFiltered(entry.size)) {
        show(entry.localPath, tableText(IDS_FILTERED), 0, 0);
        ports_.sink->setBarPosition(0);
        ++counts_.filtered;
        return;
    }
    startFile(entry.localPath, name, entry.size);

    CopyProgress progress = [this](uint64_t copied, uint64_t total) {
        showPosition(copied, total);
        return copyMayContinue(flags_);
    };
    SaveResult saved = namer_.save(saveFolder(), name, entry.size, [&](const std::string& path) {
        flags_.continueCurrent = 1;
        if (!cache_)
            return CreateOutcome::Failed;
        switch (cache_->copyToNew(entry.localPath, path, progress)) {
            case CopyOutcome::Copied:
                return CreateOutcome::Created;
            case CopyOutcome::AlreadyExists:
                return CreateOutcome::AlreadyExists;
            case CopyOutcome::Cancelled:
            case CopyOutcome::Failed:
                break;
        }
        return CreateOutcome::Failed;
    });
    switch (saved.outcome) {
        case SaveOutcome::Saved:
            ++counts_.copied;
            if (history_)
                history_->MarkDownloaded(address, saved.path);
            break;
        case SaveOutcome::Duplicate:
            ++counts_.duplicates;
            break;
        case SaveOutcome::Failed:
            passOver(address, "the cached copy could not be saved");
            break;
    }
}

int FilePass::fetchOverHttp(const std::string& address) {
    if (address.size() < 8 || !http_) {
        passOver(address, http_ ? "not an http or https address" : "no internet session");
        return 0;
    }
    std::optional<HttpAddress> target = splitHttpAddress(address);
    if (!target) {
        passOver(address, "not an http or https address");
        return 0;
    }
    auto stop = [this] { return !copyMayContinue(flags_); };
    HttpOpenResult opened = http_->open(address, stop);
    if (!opened.transfer) {
        passOver(address, httpErrorText(opened.error));
        return 0;
    }
    if (!isSuccess(opened.transfer->head().status)) {
        passOver(address, "status " + std::to_string(opened.transfer->head().status));
        return 0;
    }
    HttpTransfer& transfer = *opened.transfer;
    BodyLength length = bodyLength(transfer.head());
    if (length.kind != BodyLengthKind::Valid) {
        passOver(address, "the response declares no usable length");
        return 0;
    }
    uint64_t size = length.bytes;
    if (isFiltered(size)) {
        show(target->host, target->object + tableText(IDS_FILTERED), 0, 0);
        ports_.sink->setBarPosition(0);
        ++counts_.filtered;
        return 0;
    }
    if (size > options_.maxBodyBytes) {
        passOver(address, "too large");
        return 0;
    }
    char* body = bodyBuffer(size);
    if (!body) {
        passOver(address, "no memory for the body");
        return 0;
    }
    startFile(target->host, target->object, size);

    // Reads go straight into the body; once the declared length is in, the transfer is complete
    // and anything the server sends beyond it is left unread.
    uint64_t received = 0;
    while (received < size) {
        std::size_t want =
            static_cast<std::size_t>(std::min<uint64_t>(options_.readChunkBytes, size - received));
        ReadResult r = transfer.read(body + received, want);
        if (r.status == ReadStatus::Failed || r.status == ReadStatus::End)
            break;
        // Counted before the flags are read, so that bytes already in are never thrown away.
        received += r.count;
        showPosition(received, size);
        if (!copyMayContinue(flags_))
            break;
    }
    // A transfer whose bytes are all in is kept even when "Cancel &All" came during its last
    // chunk; one stopped by "&Cancel Current" is not.
    bool complete = received == size && flags_.continueCurrent.load() == 1;
    if (received == size && size == 0)
        showPosition(0, 0);

    std::string name = mediaFileName(address);
    if (complete && size != 0) {
        std::string path = saveBuffer(name, body, size);
        if (!path.empty() && history_)
            history_->MarkDownloaded(address, path);
    } else {
        passOver(address, received == size ? "cancelled" : "the transfer ended early");
    }
    if (bodyCapacity_ > kKeptBodyBytes) {
        body_.reset();
        bodyCapacity_ = 0;
    }
    return 1;
}

char* FilePass::bodyBuffer(uint64_t size) {
    // A buffer that fitted an earlier file is used again: fresh memory for every file costs a
    // page fault per page. One above kKeptBodyBytes goes with its file.
    if (size > bodyCapacity_) {
        body_.reset();
        bodyCapacity_ = 0;
        try {
            body_.reset(new char[size == 0 ? 1 : size]);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        bodyCapacity_ = size;
    }
    return body_.get();
}

std::string FilePass::saveBuffer(const std::string& name, const char* body, uint64_t size) {
    SaveResult saved = namer_.save(saveFolder(), name, size, [&](const std::string& path) {
        return ports_.files->writeNewFile(path, body, size);
    });
    switch (saved.outcome) {
        case SaveOutcome::Saved:
            ++counts_.downloaded;
            return saved.path;
        case SaveOutcome::Duplicate:
            ++counts_.duplicates;
            return {};
        case SaveOutcome::Failed:
            passOver(name, "the file could not be written");
            return {};
    }
    return {};
}

}  // namespace vx

#pragma once
// The file pass of a download session: every collected media address in turn is copied out of
// the browser's cache when it is there, or fetched with an HTTP/1.0 GET, checked against the size
// filter and saved under a unique name in the save folder, while the progress window follows.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/file_system.h"
#include "download/cache_lookahead.h"
#include "download/http_client.h"
#include "download/job_model.h"
#include "download/naming.h"
#include "download/progress_sink.h"
#include "download/url_cache.h"

namespace vx {

struct DownloadSettings;
class SharedDownloadSettings;
class CHistoryStore;

// The settings record as the pass reads it: a fresh copy for every file, because the settings
// sheet may change the record while the pass runs.
using SettingsSource = std::function<DownloadSettings()>;
// Reads `settings` directly; it must outlive the pass and change only between files.
SettingsSource settingsOf(const DownloadSettings& settings);
// Reads `settings` under its lock.
SettingsSource settingsOf(const SharedDownloadSettings& settings);

// The platform parts of one pass. The cache and the internet session are opened when the pass
// needs them and closed when it ends; a factory that returns null makes that road fail silently.
struct FilePassPorts {
    std::function<std::unique_ptr<UrlCache>()> openCache;
    std::function<std::unique_ptr<HttpClient>()> openInternet;
    FileSystem* files = nullptr;
    ProgressSink* sink = nullptr;
};

// The platform's own cache, HTTP client (with default limits) and save folder, around `sink`.
// Inline so that the engine library never names an adapter: only programs that link one call it.
inline FilePassPorts platformFilePassPorts(ProgressSink& sink) {
    FilePassPorts ports;
    ports.openCache = [] { return platformUrlCache(); };
    ports.openInternet = [] { return platformHttpClient(); };
    ports.files = &platformFileSystem();
    ports.sink = &sink;
    return ports;
}

struct FilePassOptions {
    // Bytes asked for per read of a response body. A read returns what has arrived, up to this,
    // so a slow link is not waited for; on a fast one, fewer and larger reads cost less: under
    // Wine, 1 MB reads take 20 MB files at more than the rate of a loop of 64 KB reads, where
    // 64 KB reads reached 0.6 of it (see docs/bench-download.md).
    std::size_t readChunkBytes = 1u << 20;
    // A declared length above this is passed over: the body is held in memory, and the progress
    // window and the size text count in 32 bits.
    uint64_t maxBodyBytes = 0x7FFFFFFF;
    // The bar and the percent text move at most this often within a file, and always at its end:
    // each refresh is a round trip to the window's thread, dear under Wine, and the eye sees no
    // more. Zero shows every step.
    std::chrono::milliseconds refreshInterval{40};
};

// Whole percent of `position` out of `total`, integer division; a total of 0 counts as 100.
uint64_t percentOf(uint64_t position, uint64_t total);
// "%d%% Complete" with that percent.
std::string percentText(uint64_t position, uint64_t total);

// A cache copy may go on while the session runs and the current file was not cancelled.
bool copyMayContinue(const SessionFlags& flags);

class FilePass {
  public:
    // `history` is the main window's store, null for the download window.
    FilePass(SessionHost host, SettingsSource settings, SessionFlags& flags, CHistoryStore* history,
             FilePassPorts ports, FilePassOptions options = {});

    // Runs the whole pass over `media`, from the first address, and ends the session: phase
    // Finished, caption "Download complete!", button 2 "OK", "&Cancel Current" hidden, `running` 0,
    // and `stopRequested` 1 (download window) or the history saved (main window). An address whose
    // handling fails (no memory, no thread) is passed over; the session still ends this way.
    void run(const MediaUrlList& media);

    // Opens the URL cache and the internet session, and closes them; run does both itself.
    void open();
    void close();

    // The two roads for one address, between open and close.
    void fetchFromCache(const std::string& address, const CacheEntry& entry);
    // 1 when a response body was received and handled (saved, skipped or cancelled), 0 when
    // nothing was received or the file was filtered.
    int fetchOverHttp(const std::string& address);
    // Writes `size` bytes under a unique variant of `name` in the save folder; the full path, or
    // an empty text when a same-size file is there or the file could not be written.
    std::string saveBuffer(const std::string& name, const char* body, uint64_t size);

    // What the pass did, for the host and for tests.
    struct Counts {
        int copied = 0;      // files copied out of the cache
        int downloaded = 0;  // files received and written
        int duplicates = 0;  // skipped because a same-size file is there
        int filtered = 0;    // left out by the size filter
        int passedOver = 0;  // nothing usable received, or the transfer ended early or failed
        // History records that could not be saved at the end (main window only): the files are
        // on disk, but the history does not know them.
        std::size_t historyNotSaved = 0;
    };
    const Counts& counts() const { return counts_; }

  private:
    // The save folder's full path for the settings' current folder text.
    std::string saveFolder();
    void fetchOne(const MediaUrlList& media, std::size_t index);
    bool isFiltered(uint64_t size) const;
    void passOver(const std::string& address, const std::string& reason);
    void show(std::string source, std::string file, uint64_t sizeShown, uint64_t percentTotal);
    void startFile(std::string source, std::string file, uint64_t size);
    void showPosition(uint64_t position, uint64_t total);
    // Room for a body of `size` bytes; null when it cannot be had.
    char* bodyBuffer(uint64_t size);

    SessionHost host_;
    SettingsSource settings_;
    SessionFlags& flags_;
    CHistoryStore* history_;
    FilePassPorts ports_;
    FilePassOptions options_;
    std::unique_ptr<UrlCache> cache_;
    // Looks up ahead of the pass with a cache of its own; without it the pass looks up itself.
    std::unique_ptr<CacheLookahead> lookahead_;
    bool lookaheadTried_ = false;
    std::unique_ptr<HttpClient> http_;
    UniqueNamer namer_;
    std::string folderText_;
    std::string folderPath_;
    bool folderResolved_ = false;
    ProgressTexts texts_;
    uint64_t shownPercent_ = 0;
    std::chrono::steady_clock::time_point lastRefresh_;
    std::unique_ptr<char[]> body_;
    uint64_t bodyCapacity_ = 0;
    Counts counts_;
};

}  // namespace vx

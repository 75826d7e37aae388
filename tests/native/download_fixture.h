#pragma once
// A file pass wired to real parts: the native HTTP client against a loopback server, a folder
// cache, and scratch folders for the saved files, the cache and the history.

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/install_folder.h"
#include "download/file_pass.h"
#include "download/posix/folder_url_cache.h"
#include "history/history_store.h"
#include "settings/download_settings.h"
#include "support/http_test_util.h"
#include "support/loopback_server.h"
#include "support/memory_file_system.h"
#include "support/recording_sink.h"
#include "support/scratch_folder.h"

namespace vx::test {

// Counts lookups on its way to the folder cache (from whichever thread looks up).
class CountingCache : public UrlCache {
  public:
    explicit CountingCache(FolderUrlCache& cache, std::atomic<int>& lookups)
        : cache_(cache), lookups_(lookups) {}
    std::optional<CacheEntry> lookup(const std::string& address) override {
        ++lookups_;
        return cache_.lookup(address);
    }
    CopyOutcome copyToNew(const std::string& from, const std::string& to,
                          const CopyProgress& progress) override {
        return cache_.copyToNew(from, to, progress);
    }

  private:
    FolderUrlCache& cache_;
    std::atomic<int>& lookups_;
};

class FilePassFixture : public ::testing::Test {
  protected:
    FilePassFixture()
        : cache(cacheFolder.path()),
          install(installFolder.path()),
          history(install, platformFileSystem()) {
        settings.saveFolder = saveFolder.path();
        flags.running = 1;
        flags.continueCurrent = 1;
        // A test that watches a limit end a transfer shortens only that one.
        limits = generousHttpLimits();
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd))
            startFolder = cwd;
    }
    ~FilePassFixture() override {
        // The pass makes the save folder the current one; later tests must not stand in it.
        if (!startFolder.empty())
            (void)chdir(startFolder.c_str());
    }

    FilePassPorts ports() {
        FilePassPorts p;
        p.openCache = [this] { return std::make_unique<CountingCache>(cache, lookups); };
        p.openInternet = [this] { return platformHttpClient(limits); };
        p.files = &platformFileSystem();
        p.sink = &sink;
        return p;
    }

    // Every step shown, and a body of a few hundred KB in several reads, so that tests can act
    // at a given position within a file.
    static FilePassOptions everyStep() {
        FilePassOptions options;
        options.refreshInterval = {};
        options.readChunkBytes = 65536;
        return options;
    }

    std::unique_ptr<FilePass> makePass(SessionHost host = SessionHost::DownloadWindow,
                                       FilePassOptions options = everyStep()) {
        return std::make_unique<FilePass>(host, settingsOf(settings), flags,
                                          host == SessionHost::MainWindow ? &history : nullptr,
                                          ports(), options);
    }

    // Runs one whole pass over `media`.
    FilePass::Counts run(const MediaUrlList& media,
                         SessionHost host = SessionHost::DownloadWindow) {
        // Each pass starts a new session, as the host does.
        flags.running = 1;
        flags.continueCurrent = 1;
        flags.stopRequested = 0;
        auto pass = makePass(host);
        pass->run(media);
        return pass->counts();
    }

    // A history record for one page holding `media`, as collection leaves it.
    void recordPage(const std::string& page, const MediaUrlList& media) {
        HistoryRecord record;
        record.pageAddress = page;
        for (const std::string& m : media) {
            HistoryItem item;
            item.address = m;
            record.items.push_back(item);
        }
        history.AddRecord(record);
    }
    const HistoryItem& historyItem(std::size_t i) const {
        return history.records().at(0).items.at(i);
    }

    std::string cached(const std::string& address, const std::string& bytes) {
        EXPECT_TRUE(cache.store(address, bytes));
        return address;
    }

    LoopbackServer server;
    ScratchFolder saveFolder{"vx-save"};
    ScratchFolder cacheFolder{"vx-cache"};
    ScratchFolder installFolder{"vx-install"};
    FolderUrlCache cache;
    FakeInstall install;
    CHistoryStore history;
    DownloadSettings settings;
    SessionFlags flags;
    HttpLimits limits;
    RecordingSink sink;
    std::atomic<int> lookups{0};
    std::string startFolder;
};

}  // namespace vx::test

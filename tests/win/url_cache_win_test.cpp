#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <vector>
#include <utility>

#include "base/file_system.h"
#include "download/naming.h"
#include "download/win/url_cache_win.h"
#include "support/scratch_folder.h"
#include "win_test_util.h"

namespace vx {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string uniqueAddress(const std::string& tail) {
    return "http://cache-test.invalid/" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount()) + "/" + tail;
}

TEST(WinInetUrlCache, FindsACommittedEntryAndItsSize) {
    std::string address = uniqueAddress("photo.jpg");
    std::string bytes(12345, 'c');
    ASSERT_TRUE(wintest::commitToCache(address, bytes));
    WinInetUrlCache cache;
    std::optional<CacheEntry> entry = cache.lookup(address);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->size, bytes.size());
    EXPECT_EQ(readFile(entry->localPath), bytes);
    EXPECT_FALSE(cache.lookup(uniqueAddress("never-cached.jpg")));
}

TEST(WinInetUrlCache, ALongAddressGrowsTheBufferForTheRestOfThePass) {
    std::string longAddress = uniqueAddress(std::string(6000, 'l') + ".gif");
    ASSERT_TRUE(wintest::commitToCache(longAddress, "long"));
    std::string shortAddress = uniqueAddress("s.gif");
    ASSERT_TRUE(wintest::commitToCache(shortAddress, "short"));
    WinInetUrlCache cache;
    EXPECT_EQ(cache.bufferBytes(), WinInetUrlCache::kInitialBufferBytes);
    std::optional<CacheEntry> entry = cache.lookup(longAddress);
    ASSERT_TRUE(entry);
    EXPECT_EQ(readFile(entry->localPath), "long");
    size_t grown = cache.bufferBytes();
    EXPECT_GT(grown, WinInetUrlCache::kInitialBufferBytes);
    ASSERT_TRUE(cache.lookup(shortAddress));
    EXPECT_EQ(cache.bufferBytes(), grown);
}

TEST(WinInetUrlCache, CopiesOutOnlyToANewName) {
    std::string address = uniqueAddress("copy.png");
    ASSERT_TRUE(wintest::commitToCache(address, "cached bytes"));
    WinInetUrlCache cache;
    CacheEntry entry = *cache.lookup(address);
    test::ScratchFolder folder;
    EXPECT_EQ(cache.copyToNew(entry.localPath, folder.file("copy.png"), nullptr),
              CopyOutcome::Copied);
    EXPECT_EQ(folder.read("copy.png"), "cached bytes");
    // A finished copy is reported whole, whether or not the system called the routine.
    std::pair<uint64_t, uint64_t> last{0, 1};
    EXPECT_EQ(cache.copyToNew(entry.localPath, folder.file("copy2.png"),
                              [&](uint64_t copied, uint64_t total) {
                                  last = {copied, total};
                                  return true;
                              }),
              CopyOutcome::Copied);
    EXPECT_EQ(last, (std::pair<uint64_t, uint64_t>{12, 12}));
    folder.putBytes("taken.png", "mine");
    EXPECT_EQ(cache.copyToNew(entry.localPath, folder.file("taken.png"), nullptr),
              CopyOutcome::AlreadyExists);
    EXPECT_EQ(folder.read("taken.png"), "mine");
    EXPECT_EQ(cache.copyToNew(folder.file("no-source"), folder.file("out.png"), nullptr),
              CopyOutcome::Failed);
    EXPECT_FALSE(folder.has("out.png"));
}

TEST(WinInetUrlCache, AFailedCopyNeverRemovesAFileItDidNotMake) {
    test::ScratchFolder folder;
    folder.putBytes("photo1.jpg", "saved a moment ago");
    WinInetUrlCache cache;
    // A stale entry whose copy is gone, and one the browser holds locked.
    EXPECT_NE(cache.copyToNew(folder.file("stale"), folder.file("photo1.jpg"), nullptr),
              CopyOutcome::Copied);
    std::string locked = folder.putBytes("locked", "cached");
    HANDLE lock = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_NE(cache.copyToNew(locked, folder.file("photo1.jpg"), nullptr), CopyOutcome::Copied);
    EXPECT_EQ(cache.copyToNew(locked, folder.file("new.jpg"), nullptr), CopyOutcome::Failed);
    CloseHandle(lock);
    EXPECT_EQ(folder.read("photo1.jpg"), "saved a moment ago");
    EXPECT_FALSE(folder.has("new.jpg"));
}

TEST(WinInetUrlCache, ACopyReportsProgressAndCanBeCancelledMidFile) {
    test::ScratchFolder folder;
    std::string source = folder.put("big.bin", 1000000, 'b');
    WinInetUrlCache cache;
    std::vector<uint64_t> seen;
    auto follow = [&](uint64_t copied, uint64_t total) {
        EXPECT_EQ(total, 1000000u);
        seen.push_back(copied);
        return true;
    };
    EXPECT_EQ(cache.copyToNew(source, folder.file("whole.bin"), follow), CopyOutcome::Copied);
    ASSERT_GT(seen.size(), 2u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1000000u);
    EXPECT_EQ(folder.read("whole.bin"), std::string(1000000, 'b'));

    int calls = 0;
    EXPECT_EQ(cache.copyToNew(source, folder.file("cut.bin"),
                              [&](uint64_t copied, uint64_t total) {
                                  EXPECT_LT(copied, total);
                                  return ++calls < 2;
                              }),
              CopyOutcome::Cancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(folder.has("cut.bin"));
}

TEST(SaveFolderOnWindows, NamesDifferingOnlyInCaseAreTheSameFile) {
    test::ScratchFolder folder;
    folder.put("PHOTO.JPG", 10);
    FileSystem& files = platformFileSystem();
    UniqueNamer namer(files);
    std::string ten(10, 'x');
    SaveResult same = namer.save(folder.path(), "photo.jpg", 10, [&](const std::string& p) {
        return files.writeNewFile(p, ten.data(), 10);
    });
    EXPECT_EQ(same.outcome, SaveOutcome::Duplicate);
    SaveResult other = namer.save(folder.path(), "photo.jpg", 3, [&](const std::string& p) {
        return files.writeNewFile(p, "abc", 3);
    });
    EXPECT_EQ(other.outcome, SaveOutcome::Saved);
    EXPECT_EQ(other.path, folder.file("photo1.jpg"));
    EXPECT_EQ(files.writeNewFile(folder.file("Photo1.JPG"), "zz", 2), CreateOutcome::AlreadyExists);
    EXPECT_EQ(folder.read("photo1.jpg"), "abc");
}

}  // namespace
}  // namespace vx

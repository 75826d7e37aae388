#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "base/file_system.h"
#include "support/scratch_folder.h"

namespace vx {
namespace {

// Makes every write past `bytes` of a file fail, as a full disk or a quota does, for one scope.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    bool active() const { return active_; }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
    bool active_ = false;
};

TEST(PosixFileSystem, AFailedReplaceKeepsTheOldFileAndLeavesNothingBeside) {
    test::ScratchFolder folder;
    std::string path = folder.putBytes("config.xml", "<DOWNLOAD_SETTINGS>old</DOWNLOAD_SETTINGS>");
    uint32_t error = 0;
    {
        FileSizeLimit limit(16);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(platformFileSystem().writeFile(path, std::string(4096, 'n'), &error));
    }
    EXPECT_NE(error, 0u);
    EXPECT_EQ(folder.read("config.xml"), "<DOWNLOAD_SETTINGS>old</DOWNLOAD_SETTINGS>");
    EXPECT_EQ(folder.count(), 1u);
    // A write that fits replaces the file whole.
    EXPECT_TRUE(platformFileSystem().writeFile(path, "new", &error));
    EXPECT_EQ(folder.read("config.xml"), "new");
    EXPECT_EQ(folder.count(), 1u);
}

TEST(PosixFileSystem, AFailedAppendIsCutBackToWhatTheFileHeld) {
    test::ScratchFolder folder;
    std::string path = folder.putBytes("2004-03-25", "<DOWNLOAD>\r\n</DOWNLOAD>\r\n");
    uint32_t error = 0;
    {
        FileSizeLimit limit(100);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(platformFileSystem().appendFile(path, std::string(500, 'b'), &error));
    }
    EXPECT_NE(error, 0u);
    EXPECT_EQ(folder.read("2004-03-25"), "<DOWNLOAD>\r\n</DOWNLOAD>\r\n");
}

}  // namespace
}  // namespace vx

#include "download/naming.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "base/mbcs.h"
#include "support/memory_file_system.h"
#include "support/scratch_folder.h"

namespace vx {
namespace {

using MemoryFiles = test::MemoryFileSystem;

// A file of `size` bytes at `path`, as saveWith writes it.
void place(MemoryFiles& files, const std::string& path, uint64_t size) {
    files.put(path, std::string(size, 'm'));
}

std::string in(const std::string& folder, const std::string& name) {
    return joinPath(folder, name);
}

SaveResult saveWith(UniqueNamer& namer, FileSystem& files, const std::string& folder,
                    const std::string& name, uint64_t size) {
    std::string bytes(size, 'm');
    return namer.save(folder, name, size, [&](const std::string& path) {
        return files.writeNewFile(path, bytes.data(), size);
    });
}

TEST(FileNameFromAddress, TakesTheLastSegmentWithItsQuery) {
    EXPECT_EQ(lastSegment("http://host/a/b/photo.jpg"), "photo.jpg");
    EXPECT_EQ(lastSegment("http://host/show.php?id=3"), "show.php?id=3");
    EXPECT_EQ(lastSegment("http://host/dir/"), "");
    EXPECT_EQ(lastSegment("nodelimiter"), "nodelimiter");
    EXPECT_EQ(lastSegment("/a/b?x=1/2"), "2");
}

TEST(FileNameFromAddress, RefusedCharactersBecomeUnderscores) {
    EXPECT_EQ(safeFileName("photo.jpg"), "photo.jpg");
    EXPECT_EQ(safeFileName("show.php?id=3&x=*"), "show.php_id=3&x=_");
    EXPECT_EQ(safeFileName("a:b.jpg"), "a_b.jpg");
    EXPECT_EQ(safeFileName("..\\..\\windows\\win.ini"), ".._.._windows_win.ini");
    EXPECT_EQ(safeFileName("q\"<>|.gif"), "q____.gif");
    EXPECT_EQ(safeFileName(std::string("tab\there\x01.png")), "tab_here_.png");
    EXPECT_EQ(safeFileName("x/y"), "x_y");
}

TEST(FileNameFromAddress, NamesThatWouldLeaveTheFolderOrVanishAreReplaced) {
    EXPECT_EQ(safeFileName(""), kFallbackFileName);
    EXPECT_EQ(safeFileName("."), kFallbackFileName);
    EXPECT_EQ(safeFileName(".."), kFallbackFileName);
    EXPECT_EQ(safeFileName(" . . "), kFallbackFileName);
    EXPECT_EQ(safeFileName("photo.jpg. . "), "photo.jpg");
    EXPECT_EQ(safeFileName(".hidden"), ".hidden");
}

TEST(FileNameFromAddress, DeviceNamesAreNeutralised) {
    EXPECT_EQ(safeFileName("CON"), "_CON");
    EXPECT_EQ(safeFileName("nul.jpg"), "_nul.jpg");
    EXPECT_EQ(safeFileName("Com1.mp3"), "_Com1.mp3");
    EXPECT_EQ(safeFileName("lpt9"), "_lpt9");
    EXPECT_EQ(safeFileName("aux .txt"), "_aux .txt");
    EXPECT_EQ(safeFileName("CONOUT$"), "_CONOUT$");
    EXPECT_EQ(safeFileName("COM10"), "COM10");
    EXPECT_EQ(safeFileName("console.swf"), "console.swf");
    EXPECT_EQ(safeFileName("nulls.jpg"), "nulls.jpg");
}

TEST(FileNameFromAddress, OverlongNamesAreCutKeepingTheExtension) {
    std::string name = safeFileName(std::string(400, 'a') + ".jpg");
    EXPECT_LE(name.size(), 230u);
    EXPECT_TRUE(name.ends_with("a.jpg"));
    std::string noExtension = safeFileName(std::string(400, 'b'));
    EXPECT_LE(noExtension.size(), 230u);
    EXPECT_EQ(noExtension, std::string(noExtension.size(), 'b'));
}

class DoubleByteNames : public ::testing::Test {
  protected:
    void SetUp() override { mbcs::useCodePage936(); }
    void TearDown() override { mbcs::useSingleByte(); }
};

TEST_F(DoubleByteNames, SecondBytesThatLookLikeSeparatorsStayPartOfTheirCharacter) {
    // 0x95 0x5C is one character; its second byte is the value of a backslash.
    std::string name = "\x95\x5C\x95\x7C.jpg";
    EXPECT_EQ(safeFileName(name), name);
    EXPECT_EQ(safeFileName("\x95\x5C\\x.jpg"), "\x95\x5C_x.jpg");
    std::string longName = safeFileName(std::string(301, '\x95') + ".jpg");
    // Cut between characters: the stem keeps an even number of lead-trail pairs.
    EXPECT_EQ((longName.size() - 4) % 2, 0u);
}

TEST_F(DoubleByteNames, NumberingSplitsAtARealDot) {
    NameParts parts = splitName("\x95\x5C\x95\x41.jpg");
    EXPECT_EQ(parts.stem, "\x95\x5C\x95\x41");
    EXPECT_EQ(parts.extension, "jpg");
}

TEST(FileNameVariants, NumberBeforeTheExtension) {
    EXPECT_EQ(numberedName(splitName("photo.jpg"), 0), "photo.jpg");
    EXPECT_EQ(numberedName(splitName("photo.jpg"), 12), "photo12.jpg");
    EXPECT_EQ(numberedName(splitName("archive.tar.gz"), 1), "archive.tar1.gz");
    EXPECT_EQ(numberedName(splitName("readme"), 2), "readme2");
    EXPECT_EQ(numberedName(splitName(".htaccess"), 1), "1.htaccess");
    // A number must not turn the name into a device that swallows the bytes.
    EXPECT_EQ(numberedName(splitName("com.mp3"), 1), "_com1.mp3");
    EXPECT_EQ(numberedName(splitName("LPT"), 9), "_LPT9");
    EXPECT_EQ(numberedName(splitName("com.mp3"), 10), "com10.mp3");
    EXPECT_EQ(numberedName(splitName("aux.jpg"), 1), "aux1.jpg");
}

// The examples a user sees, on real files, through both the plain walk and the session namer.
struct FolderCase {
    const char* title;
    std::vector<std::pair<const char*, std::size_t>> existing;
    const char* name;
    std::size_t size;
    const char* expected;  // nullptr: skipped
};

class UniqueNameOnDisk : public ::testing::TestWithParam<FolderCase> {};

TEST_P(UniqueNameOnDisk, PlainWalkAndSessionNamerGiveTheSameAnswer) {
    const FolderCase& c = GetParam();
    test::ScratchFolder folder;
    for (auto& [name, size] : c.existing)
        folder.put(name, size);
    FileSystem& files = platformFileSystem();

    std::string path = folder.file(c.name);
    bool free = makeUniquePath(files, path, c.size);
    EXPECT_EQ(free, c.expected != nullptr) << c.title;
    if (c.expected) {
        EXPECT_EQ(path, folder.file(c.expected)) << c.title;
    }

    UniqueNamer namer(files);
    SaveResult saved = saveWith(namer, files, folder.path(), c.name, c.size);
    if (c.expected) {
        EXPECT_EQ(saved.outcome, SaveOutcome::Saved) << c.title;
        EXPECT_EQ(saved.path, folder.file(c.expected)) << c.title;
        EXPECT_EQ(files.fileSize(saved.path), c.size);
    } else {
        EXPECT_EQ(saved.outcome, SaveOutcome::Duplicate) << c.title;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, UniqueNameOnDisk,
    ::testing::Values(
        FolderCase{"empty folder", {}, "photo.jpg", 20000, "photo.jpg"},
        FolderCase{"same size", {{"photo.jpg", 20000}}, "photo.jpg", 20000, nullptr},
        FolderCase{"other size", {{"photo.jpg", 5000}}, "photo.jpg", 20000, "photo1.jpg"},
        FolderCase{"same size as variant 1",
                   {{"photo.jpg", 5000}, {"photo1.jpg", 20000}},
                   "photo.jpg",
                   20000,
                   nullptr},
        FolderCase{"both other sizes",
                   {{"photo.jpg", 5000}, {"photo1.jpg", 7}},
                   "photo.jpg",
                   20000,
                   "photo2.jpg"},
        FolderCase{"gap after a free variant",
                   {{"photo.jpg", 5000}, {"photo2.jpg", 20000}},
                   "photo.jpg",
                   20000,
                   "photo1.jpg"},
        FolderCase{"no extension", {{"readme", 1}, {"readme1", 2}}, "readme", 3, "readme2"},
        FolderCase{"a different extension is a different name",
                   {{"photo.png", 20000}},
                   "photo.jpg",
                   20000,
                   "photo.jpg"},
        FolderCase{"an empty file", {{"empty.gif", 0}}, "empty.gif", 0, nullptr}));

TEST(UniqueName, DotInTheFolderNameTakesNoPart) {
    test::ScratchFolder scratch;
    std::string folder = scratch.file("My.Files");
    ASSERT_TRUE(platformFileSystem().createFolder(folder));
    platformFileSystem().writeFile(joinPath(folder, "readme"), "abc");
    std::string path = joinPath(folder, "readme");
    EXPECT_TRUE(makeUniquePath(platformFileSystem(), path, 10));
    EXPECT_EQ(path, joinPath(folder, "readme1"));

    UniqueNamer namer(platformFileSystem());
    UniqueNamer::Choice choice = namer.choose(folder, "readme", 10);
    EXPECT_TRUE(choice.isFree);
    EXPECT_EQ(choice.path, joinPath(folder, "readme1"));
}

TEST(UniqueName, AFolderWithTheNameCountsAsAnEmptyEntry) {
    test::ScratchFolder scratch;
    ASSERT_TRUE(platformFileSystem().createFolder(scratch.file("photo.jpg")));
    UniqueNamer namer(platformFileSystem());
    SaveResult saved = saveWith(namer, platformFileSystem(), scratch.path(), "photo.jpg", 10);
    EXPECT_EQ(saved.outcome, SaveOutcome::Saved);
    EXPECT_EQ(saved.path, scratch.file("photo1.jpg"));
}

TEST(UniqueName, EmptySaveFolderMeansTheCurrentFolder) {
    MemoryFiles files;
    place(files, "photo.jpg", 5);
    std::string path = "photo.jpg";
    EXPECT_TRUE(makeUniquePath(files, path, 6));
    EXPECT_EQ(path, "photo1.jpg");
    UniqueNamer namer(files);
    EXPECT_EQ(namer.choose("", "photo.jpg", 6).path, "photo1.jpg");
    EXPECT_FALSE(namer.choose("", "photo.jpg", 5).isFree);
}

TEST(SessionNaming, TheSameFileTwiceIsSavedOnce) {
    MemoryFiles files;
    UniqueNamer namer(files);
    EXPECT_EQ(saveWith(namer, files, "/m", "a.jpg", 100).outcome, SaveOutcome::Saved);
    EXPECT_EQ(saveWith(namer, files, "/m", "a.jpg", 100).outcome, SaveOutcome::Duplicate);
    EXPECT_EQ(saveWith(namer, files, "/m", "a.jpg", 101).path, in("/m", "a1.jpg"));
    EXPECT_EQ(saveWith(namer, files, "/m", "a.jpg", 101).outcome, SaveOutcome::Duplicate);
    EXPECT_EQ(saveWith(namer, files, "/m", "a.jpg", 102).path, in("/m", "a2.jpg"));
    EXPECT_EQ(files.files.size(), 3u);
}

TEST(SessionNaming, ASecondSessionSavesNothingNew) {
    MemoryFiles files;
    std::vector<std::pair<std::string, uint64_t>> media = {
        {"a.jpg", 10}, {"a.jpg", 11}, {"b.gif", 10}, {"a.jpg", 12}, {"c", 0}};
    for (int session = 0; session < 2; ++session) {
        UniqueNamer namer(files);
        int saved = 0;
        for (auto& [name, size] : media)
            saved += saveWith(namer, files, "/m", name, size).outcome == SaveOutcome::Saved;
        EXPECT_EQ(saved, session == 0 ? 5 : 0);
    }
}

TEST(SessionNaming, ANameTakenAfterTheChoiceIsNeverOverwritten) {
    MemoryFiles files;
    place(files, in("/m", "a.jpg"), 1);
    UniqueNamer namer(files);
    EXPECT_EQ(namer.choose("/m", "a.jpg", 50).path, in("/m", "a1.jpg"));
    // Another program writes a1.jpg and a2.jpg between the choice and the create.
    files.beforeCreate = [&] {
        place(files, in("/m", "a1.jpg"), 7);
        place(files, in("/m", "a2.jpg"), 50);
    };
    SaveResult saved = saveWith(namer, files, "/m", "a.jpg", 50);
    // The walk over the folder as it is now finds a2.jpg of the same size.
    EXPECT_EQ(saved.outcome, SaveOutcome::Duplicate);
    EXPECT_EQ(saved.path, in("/m", "a2.jpg"));
    EXPECT_EQ(files.fileSize(in("/m", "a1.jpg")), 7u);
}

TEST(SessionNaming, AListedFileRemovedBehindTheSessionIsNotTakenAsADuplicate) {
    MemoryFiles files;
    place(files, in("/m", "a.jpg"), 9);
    UniqueNamer namer(files);
    EXPECT_FALSE(namer.choose("/m", "a.jpg", 9).isFree);
    files.removeFile(in("/m", "a.jpg"));
    UniqueNamer::Choice again = namer.choose("/m", "a.jpg", 9);
    EXPECT_TRUE(again.isFree);
    EXPECT_EQ(again.path, in("/m", "a.jpg"));
}

TEST(SessionNaming, CaseInsensitiveFoldersMatchNamesOfAnyCase) {
    MemoryFiles files;
    files.ignoreCase = true;
    place(files, in("/m", "PHOTO.JPG"), 3);
    place(files, in("/m", "Photo1.jpg"), 4);
    UniqueNamer namer(files);
    EXPECT_FALSE(namer.choose("/m", "photo.jpg", 4).isFree);
    EXPECT_EQ(namer.choose("/m", "photo.jpg", 5).path, in("/m", "photo2.jpg"));
    std::string path = in("/m", "photo.jpg");
    EXPECT_FALSE(makeUniquePath(files, path, 3));
    // A free name keeps the spelling it was asked in, as the plain walk gives it.
    SaveResult upper = saveWith(namer, files, "/m", "PHOTO.JPG", 6);
    EXPECT_EQ(upper.path, in("/m", "PHOTO2.JPG"));
    path = in("/m", "PHOTO.JPG");
    EXPECT_TRUE(makeUniquePath(files, path, 7));
    EXPECT_EQ(path, in("/m", "PHOTO3.JPG"));
}

TEST(SessionNaming, AListingThatDisagreesWithTheFileNeverDropsIt) {
    MemoryFiles files;
    files.listedOnly.push_back({"photo.jpg", false, 10});
    UniqueNamer namer(files);
    SaveResult saved = saveWith(namer, files, "/m", "photo.jpg", 10);
    EXPECT_EQ(saved.outcome, SaveOutcome::Saved);
    EXPECT_EQ(files.files.count(saved.path), 1u);
}

TEST(SessionNaming, NumberedDeviceNamesAreNeutralisedInBothWalks) {
    MemoryFiles files;
    place(files, in("/m", "com.mp3"), 10);
    UniqueNamer namer(files);
    EXPECT_EQ(saveWith(namer, files, "/m", "com.mp3", 3).path, in("/m", "_com1.mp3"));
    std::string path = in("/m", "com.mp3");
    EXPECT_TRUE(makeUniquePath(files, path, 4));
    EXPECT_EQ(path, in("/m", "_com2.mp3")) << "COM2 is a device as well";
}

TEST(SessionNaming, ManySameNamedFilesCostConstantQueriesEach) {
    MemoryFiles files;
    for (int i = 0; i < 300; ++i)
        place(files, in("/m", numberedName(splitName("p.jpg"), i)), 100000 + i);
    UniqueNamer namer(files);
    const int kFiles = 300;
    for (int i = 0; i < kFiles; ++i) {
        SaveResult r = saveWith(namer, files, "/m", "p.jpg", static_cast<uint64_t>(i));
        ASSERT_EQ(r.outcome, SaveOutcome::Saved);
        ASSERT_EQ(r.path, in("/m", numberedName(splitName("p.jpg"), 300 + i)));
    }
    EXPECT_EQ(files.listCalls, 1);
    EXPECT_EQ(files.statCalls, 0);
    // Repeats are confirmed with one query each.
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(saveWith(namer, files, "/m", "p.jpg", 100000 + i).outcome,
                  SaveOutcome::Duplicate);
    EXPECT_EQ(files.statCalls, kFiles);
}

TEST(SessionNaming, AgreesWithThePlainWalkOnRandomFolders) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 200; ++round) {
        MemoryFiles session;
        MemoryFiles plain;
        std::vector<std::string> names = {"a.jpg", "a1.jpg", "a", "a1", "b.gif", "a11.jpg"};
        for (int i = 0; i < 8; ++i) {
            std::string name = numberedName(splitName(names[rng() % names.size()]), rng() % 4);
            uint64_t size = rng() % 4;
            place(session, in("/m", name), size);
            place(plain, in("/m", name), size);
        }
        UniqueNamer namer(session);
        for (int i = 0; i < 12; ++i) {
            std::string name = names[rng() % names.size()];
            uint64_t size = rng() % 4;
            std::string path = in("/m", name);
            bool free = makeUniquePath(plain, path, size);
            if (free)
                place(plain, path, size);
            SaveResult r = saveWith(namer, session, "/m", name, size);
            ASSERT_EQ(r.outcome == SaveOutcome::Saved, free) << "round " << round;
            ASSERT_EQ(r.path, path) << "round " << round;
        }
        ASSERT_EQ(session.files, plain.files);
    }
}

}  // namespace
}  // namespace vx

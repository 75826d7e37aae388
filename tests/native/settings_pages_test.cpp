#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/mbcs.h"
#include "settings/download_page_logic.h"
#include "settings/resolution_list_logic.h"
#include "settings/toolbar_button.h"
#include "settings/tree_path.h"
#include "support/scratch_folder.h"

namespace {

using vx::ResolutionCap;
using Levels = std::vector<std::string>;

TEST(SettingsTreePath, SplitsAtDoubleColonsWithEscapes) {
    struct Case {
        std::string title;
        Levels levels;
    };
    const Case cases[] = {
        {"Download Setting", {"Download Setting"}},
        {"Network::Proxy", {"Network", "Proxy"}},
        {"A::B::C", {"A", "B", "C"}},
        {"Odd\\::Name", {"Odd::Name"}},
        {"Back\\\\slash", {"Back\\slash"}},
        {"Back\\\\::Level", {"Back\\", "Level"}},
        {"Lone\\ backslash", {"Lone\\ backslash"}},
        {"Trailing\\", {"Trailing\\"}},
        {"a:b:c", {"a:b:c"}},
        {":::", {"", ":"}},
        {"", {""}},
        {"::", {"", ""}},
        {"End::", {"End", ""}},
        {"C:\\::x", {"C:::x"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(vx::splitTreePath(c.title), c.levels) << c.title;
}

TEST(SettingsTreePath, ADoubleByteCharacterIsNeverTakenForAnEscape) {
    vx::mbcs::useCodePage936();
    // 0x81 0x5C is one character whose second byte looks like a backslash.
    std::string title = "\x81\x5C::x";
    EXPECT_EQ(vx::splitTreePath(title), (Levels{"\x81\x5C", "x"}));
    std::string escaped = "\x81\x5C\\::x";
    EXPECT_EQ(vx::splitTreePath(escaped), (Levels{"\x81\x5C::x"}));
    vx::mbcs::useSingleByte();
}

TEST(SettingsTreePath, LevelsAreSharedAndPagesKeepTheirOwnItems) {
    auto items = vx::buildPageTree({"Net::Proxy", "Net::Cache", "Look", "Net", "Look"});
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].text, "Net");
    EXPECT_EQ(items[0].parent, -1);
    EXPECT_EQ(items[0].page, 3);  // the page titled like the group takes its item
    EXPECT_EQ(items[1].text, "Proxy");
    EXPECT_EQ(items[1].parent, 0);
    EXPECT_EQ(items[1].page, 0);
    EXPECT_EQ(items[2].parent, 0);
    EXPECT_EQ(items[2].page, 1);
    EXPECT_EQ(items[3].text, "Look");
    EXPECT_EQ(items[3].page, 2);
    // A second page of the same title gets an item of its own instead of hiding the first.
    EXPECT_EQ(items[4].text, "Look");
    EXPECT_EQ(items[4].page, 4);
    EXPECT_EQ(vx::itemOfPage(items, 2), 3);
    EXPECT_EQ(vx::itemOfPage(items, 4), 4);
    EXPECT_EQ(vx::itemOfPage(items, 7), -1);

    // Lookups are exact: case and spaces make different items.
    auto exact = vx::buildPageTree({"A::x", "a::y", "A ::z"});
    EXPECT_EQ(exact.size(), 6u);
}

TEST(SettingsTreePath, StepsInTreeOrderAndWrapsBothWays) {
    auto items = vx::buildPageTree({"G::A", "G::B::Deep", "H", "G::C"});
    // Items: G, A, B, Deep, H, C (creation order); tree order G A B Deep C H.
    auto order = vx::pageTreeOrder(items);
    std::vector<std::string> texts;
    for (int i : order)
        texts.push_back(items[i].text);
    EXPECT_EQ(texts, (Levels{"G", "A", "B", "Deep", "C", "H"}));

    auto step = [&](const std::string& from, bool back) {
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            if (items[i].text == from)
                return items[vx::stepInTreeOrder(items, i, back)].text;
        }
        return std::string("?");
    };
    EXPECT_EQ(step("Deep", false), "C");  // climbs out to the parent's next sibling
    EXPECT_EQ(step("C", false), "H");
    EXPECT_EQ(step("H", false), "G");  // wraps from the last to the first
    EXPECT_EQ(step("G", true), "H");   // and back
    EXPECT_EQ(step("C", true), "Deep");
    EXPECT_EQ(vx::stepInTreeOrder(items, -1, false), 0);
    EXPECT_EQ(items[vx::stepInTreeOrder(items, 99, true)].text, "H");
    EXPECT_EQ(vx::stepInTreeOrder({}, 0, false), -1);
    auto single = vx::buildPageTree({"Only"});
    EXPECT_EQ(vx::stepInTreeOrder(single, 0, false), 0);
    EXPECT_EQ(vx::stepInTreeOrder(single, 0, true), 0);
}

TEST(SettingsTreePath, ImagesFallBackToTheDefaults) {
    // Two page icons, then the two default images at 2 and 3.
    EXPECT_EQ(vx::pageItemImage(1, 2, true), 1);
    EXPECT_EQ(vx::pageItemImage(2, 2, true), 3);
    EXPECT_EQ(vx::pageItemImage(-1, 2, true), 3);
    EXPECT_EQ(vx::pageItemImage(-1, 2, false), -1);
    EXPECT_EQ(vx::pageItemImage(0, 0, false), -1);
    EXPECT_EQ(vx::groupItemImage(2, true), 2);
    EXPECT_EQ(vx::groupItemImage(2, false), -1);
}

vx::DownloadSettings defaults() {
    vx::DownloadSettings s;
    s.saveFolder = "C:\\Vexaro\\Download";
    return s;
}

TEST(SettingsDownloadPage, OpeningShowsTheRecord) {
    vx::DownloadSettings s = defaults();
    s.limitFileSize = 1;
    s.smallerThanOn = 1;
    s.smallerThanKB = -5;
    s.limitResolution = 1;
    s.resolutions = {{1600, 1200}, {1152, 864}, {800, 600}, {800, 600}};
    s.typeImages = 0;
    s.typeFlash = 1;
    vx::DownloadPageValues v = vx::pageValuesFor(s);
    EXPECT_EQ(v.folder, "C:\\Vexaro\\Download");
    EXPECT_TRUE(v.limitFileSize);
    EXPECT_TRUE(v.largerThanOn);
    EXPECT_TRUE(v.smallerThanOn);
    EXPECT_EQ(v.largerThanKB, "250");
    EXPECT_EQ(v.smallerThanKB, "-5");
    EXPECT_TRUE(v.limitResolution);
    EXPECT_EQ(v.standard, (std::array<bool, 5>{false, true, false, false, true}));
    EXPECT_FALSE(v.typeImages);
    EXPECT_FALSE(v.typeMp3);
    EXPECT_TRUE(v.typeFlash);
}

TEST(SettingsDownloadPage, NoTypeSetShowsImages) {
    vx::DownloadSettings s = defaults();
    s.typeImages = 0;
    vx::DownloadPageValues v = vx::pageValuesFor(s);
    EXPECT_TRUE(v.typeImages);
    EXPECT_FALSE(v.typeMp3);
    EXPECT_FALSE(v.typeFlash);
}

TEST(SettingsDownloadPage, SizeControlsFollowTheLimitBox) {
    struct Case {
        bool limit, larger, smaller;
        bool boxes, largerEdit, smallerEdit;
    };
    const Case cases[] = {
        {false, false, false, false, false, false}, {false, true, true, false, false, false},
        {true, false, false, true, false, false},   {true, true, false, true, true, false},
        {true, false, true, true, false, true},     {true, true, true, true, true, true},
    };
    for (const Case& c : cases) {
        vx::SizeEnabling e = vx::sizeEnabling(c.limit, c.larger, c.smaller);
        EXPECT_EQ(e.largerBox, c.boxes);
        EXPECT_EQ(e.smallerBox, c.boxes);
        EXPECT_EQ(e.labels, c.boxes);
        EXPECT_EQ(e.largerEdit, c.largerEdit);
        EXPECT_EQ(e.smallerEdit, c.smallerEdit);
    }
    EXPECT_FALSE(vx::limitAfterSizeBoxClick(false, false));
    EXPECT_TRUE(vx::limitAfterSizeBoxClick(true, false));
    EXPECT_TRUE(vx::limitAfterSizeBoxClick(false, true));
}

TEST(SettingsDownloadPage, OneTypeAlwaysStays) {
    EXPECT_TRUE(vx::typeBoxMustStayChecked(false, false, false));
    EXPECT_FALSE(vx::typeBoxMustStayChecked(true, false, false));
    EXPECT_FALSE(vx::typeBoxMustStayChecked(false, false, true));
}

TEST(SettingsDownloadPage, StandardBoxesChangeTheListAtOnce) {
    std::vector<ResolutionCap> list{{800, 600}, {1152, 864}, {800, 600}};
    EXPECT_TRUE(vx::followStandardBox(list, {640, 480}, true));
    EXPECT_EQ(list, (std::vector<ResolutionCap>{{800, 600}, {1152, 864}, {800, 600}, {640, 480}}));
    EXPECT_FALSE(vx::followStandardBox(list, {640, 480}, true));  // never a repeat
    // Unchecking removes one entry; a repeat from a hand-edited file stays.
    EXPECT_TRUE(vx::followStandardBox(list, {800, 600}, false));
    EXPECT_EQ(list, (std::vector<ResolutionCap>{{1152, 864}, {800, 600}, {640, 480}}));
    EXPECT_FALSE(vx::followStandardBox(list, {1024, 768}, false));
}

TEST(SettingsDownloadPage, ResolutionListOkRebuildsInBoxOrderThenTheDialogs) {
    std::array<bool, 5> boxes{false, true, false, true, true};
    std::vector<ResolutionCap> dialog{{1152, 864}, {1600, 1200}, {640, 480}, {1152, 864}, {9, 9}};
    auto list = vx::rebuildResolutions(boxes, dialog);
    EXPECT_EQ(list, (std::vector<ResolutionCap>{
                        {800, 600}, {1280, 768}, {1600, 1200}, {1152, 864}, {640, 480}, {9, 9}}));
    EXPECT_EQ(vx::standardBoxesFor(list), (std::array<bool, 5>{true, true, false, true, true}));
    EXPECT_TRUE(vx::rebuildResolutions({}, {}).empty());
}

TEST(SettingsDownloadPage, ApplyStoresTheFieldsByTheRules) {
    vx::DownloadSettings s = defaults();
    vx::DownloadPageValues v = vx::pageValuesFor(s);
    v.limitFileSize = true;
    v.largerThanOn = false;
    v.smallerThanOn = false;
    v.largerThanKB = "12kb";
    v.smallerThanKB = "abc";
    v.limitResolution = true;
    v.typeMp3 = true;
    vx::applyPageValues(s, v);
    // The size filter needs a size box, the resolution filter a resolution.
    EXPECT_EQ(s.limitFileSize, 0);
    EXPECT_EQ(s.largerThanOn, 0);
    EXPECT_EQ(s.largerThanKB, 12);
    EXPECT_EQ(s.smallerThanKB, 0);
    EXPECT_EQ(s.limitResolution, 0);
    EXPECT_EQ(s.typeImages, 1);
    EXPECT_EQ(s.typeMp3, 1);
    EXPECT_EQ(s.typeFlash, 0);
    EXPECT_EQ(s.saveFolder, "C:\\Vexaro\\Download");  // stored before, not here

    v.smallerThanOn = true;
    v.smallerThanKB = " 99999999999";
    s.resolutions = {{1, 1}};
    vx::applyPageValues(s, v);
    EXPECT_EQ(s.limitFileSize, 1);
    EXPECT_EQ(s.smallerThanOn, 1);
    EXPECT_EQ(s.smallerThanKB, 2147483647);  // held at the limit, not wrapped
    EXPECT_EQ(s.limitResolution, 1);
}

class SettingsFolderCheck : public ::testing::Test {
  protected:
    std::string sep() const { return std::string(1, vx::pathSeparator()); }
    vx::test::ScratchFolder scratch{"vx-settings"};
    vx::FileSystem& files = vx::platformFileSystem();
};

TEST_F(SettingsFolderCheck, ExistingFoldersAreAcceptedWithOrWithoutSeparator) {
    EXPECT_EQ(vx::checkSaveFolder(scratch.path(), files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder(scratch.path() + sep(), files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder(scratch.path() + sep() + sep(), files), vx::FolderCheck::Accept);
}

TEST_F(SettingsFolderCheck, AFileInTheFoldersPlaceIsRefused) {
    std::string file = scratch.put("taken", 3);
    EXPECT_EQ(vx::checkSaveFolder(file, files), vx::FolderCheck::NameTakenByFile);
}

TEST_F(SettingsFolderCheck, MissingFoldersAreCreatedUnlessTheyLookLikeADrive) {
    EXPECT_EQ(vx::checkSaveFolder(scratch.file("new"), files), vx::FolderCheck::Create);
    EXPECT_EQ(vx::checkSaveFolder(scratch.file("a") + sep() + "b", files), vx::FolderCheck::Create);
    // Drive-like texts and short texts are taken as they are.
    EXPECT_EQ(vx::checkSaveFolder("Q:", files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder("Q:" + sep(), files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder("nowhere-at-all:" + sep(), files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder("nowhere-at-all:", files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder("abcd", files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder("", files), vx::FolderCheck::Accept);
    EXPECT_EQ(vx::checkSaveFolder("abcde-not-there", files), vx::FolderCheck::Create);
}

TEST_F(SettingsFolderCheck, ATrailByteThatLooksLikeTheSeparatorIsKept) {
    // In code page 936 "\x81" + separator byte is one character, not a name and a separator.
    vx::mbcs::useCodePage936();
    scratch.put("taken\x81", 3);
    vx::FolderCheck check = vx::checkSaveFolder(scratch.file("taken\x81") + sep(), files);
    vx::mbcs::useSingleByte();
    EXPECT_EQ(check, vx::FolderCheck::Create);
}

TEST(SettingsResolutionList, ShowsOnlyTheEntriesBeyondTheStandardBoxes) {
    vx::ResolutionListModel model({{640, 480}, {1152, 864}, {800, 600}, {-3, 0}});
    ASSERT_EQ(model.rows().size(), 2u);
    EXPECT_EQ(model.rows()[0].text, "1152 x 864");
    EXPECT_EQ(model.rows()[0].entry, 1u);
    EXPECT_EQ(model.rows()[1].text, "-3 x 0");
    EXPECT_EQ(model.rows()[1].entry, 3u);
    EXPECT_TRUE(vx::ResolutionListModel({{640, 480}, {1600, 1200}}).rows().empty());
}

TEST(SettingsResolutionList, AddRefusesEmptySmallAndRepeatedPairs) {
    using R = vx::ResolutionListModel::AddResult;
    vx::ResolutionListModel model({{640, 480}, {1152, 864}});
    EXPECT_EQ(model.add("", "600"), R::MissingValue);
    EXPECT_EQ(model.add("800", ""), R::MissingValue);
    EXPECT_EQ(model.add("0", "600"), R::Refused);
    EXPECT_EQ(model.add("-800", "600"), R::Refused);
    EXPECT_EQ(model.add("abc", "600"), R::Refused);
    EXPECT_EQ(model.add("1152", "864"), R::Refused);
    EXPECT_EQ(model.add("640", "480"), R::Refused);  // in the list though not shown
    EXPECT_EQ(model.entries().size(), 2u);
    EXPECT_EQ(model.rows().size(), 1u);

    // The row shows the texts as typed, the entry holds their numbers.
    EXPECT_EQ(model.add("0800", "600"), R::Added);
    EXPECT_EQ(model.rows().back().text, "0800 x 600");
    EXPECT_EQ(model.entries().back(), (ResolutionCap{800, 600}));
    EXPECT_EQ(model.add("800", "600"), R::Refused);
    EXPECT_EQ(model.add("99999999999", "1"), R::Added);
    EXPECT_EQ(model.entries().back(), (ResolutionCap{2147483647, 1}));
}

TEST(SettingsResolutionList, RemoveTakesSelectedRowsWithTheirEntries) {
    vx::ResolutionListModel model({{1, 1}, {640, 480}, {2, 2}, {3, 3}, {800, 600}, {4, 4}});
    ASSERT_EQ(model.rows().size(), 4u);
    EXPECT_FALSE(model.remove({}));
    EXPECT_FALSE(model.remove({7, -1}));
    EXPECT_EQ(model.entries().size(), 6u);

    EXPECT_TRUE(model.remove({3, 1, 1}));
    EXPECT_EQ(model.entries(),
              (std::vector<ResolutionCap>{{1, 1}, {640, 480}, {3, 3}, {800, 600}}));
    ASSERT_EQ(model.rows().size(), 2u);
    EXPECT_EQ(model.rows()[0].text, "1 x 1");
    EXPECT_EQ(model.rows()[1].text, "3 x 3");
    EXPECT_EQ(model.entries()[model.rows()[1].entry], (ResolutionCap{3, 3}));

    // A row added afterwards still refers to its own entry.
    model.add("5", "5");
    EXPECT_TRUE(model.remove({0}));
    ASSERT_EQ(model.rows().size(), 2u);
    EXPECT_EQ(model.entries()[model.rows()[1].entry], (ResolutionCap{5, 5}));
}

TEST(SettingsToolbarButton, SixStringValuesInTheirOrder) {
    auto values = vx::toolbarButtonValues("C:\\Program Files\\Vexaro\\Vexaro.exe");
    ASSERT_EQ(values.size(), 6u);
    std::vector<std::string> names;
    for (const auto& v : values)
        names.push_back(v.name);
    EXPECT_EQ(names, (Levels{"CLSID", "Default Visible", "ButtonText", "Icon", "HotIcon", "Exec"}));
    EXPECT_EQ(values[0].data, "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
    EXPECT_EQ(values[1].data, "Yes");
    EXPECT_EQ(values[2].data, "Vexaro");
    EXPECT_EQ(values[3].data, "C:\\Program Files\\Vexaro\\Vexaro.exe,128");
    EXPECT_EQ(values[4].data, values[3].data);
    EXPECT_EQ(values[5].data, "C:\\Program Files\\Vexaro\\Vexaro.exe");
    EXPECT_STREQ(vx::kToolbarButtonKey,
                 "Software\\Microsoft\\Internet Explorer\\Extensions\\"
                 "{4E7A2C19-8B3D-4F05-A6E1-93D0C57B2F68}");
}

}  // namespace

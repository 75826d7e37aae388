// Feeds arbitrary bytes to the settings loader as "config.xml", under single-byte and double-byte
// rules: the record read keeps its fixed widths and 0/1 flags, each field either comes from the
// text or keeps its value, and settingsText of the record reads back as the same record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/mbcs.h"
#include "fuzz_check.h"
#include "settings/download_settings.h"
#include "support/memory_file_system.h"

namespace {

using vx::DownloadSettings;
using vx::ResolutionCap;

void require(bool condition, const char* what) {
    vx::fuzz::require(condition, "settings_fuzz", what);
}

bool isFlag(int32_t value) {
    return value == 0 || value == 1;
}

void checkFields(const DownloadSettings& s) {
    require(s.saveFolder.size() <= 519, "save folder within its field");
    require(isFlag(s.limitFileSize) && isFlag(s.largerThanOn) && isFlag(s.smallerThanOn) &&
                isFlag(s.limitResolution) && isFlag(s.typeImages) && isFlag(s.typeMp3) &&
                isFlag(s.typeFlash),
            "flags are 0 or 1");
}

// A record that differs from the defaults in every field.
DownloadSettings otherStart() {
    DownloadSettings s;
    s.saveFolder = "elsewhere";
    s.limitFileSize = 1;
    s.largerThanOn = 0;
    s.smallerThanOn = 1;
    s.largerThanKB = 7;
    s.smallerThanKB = 9;
    s.limitResolution = 1;
    s.resolutions = {{3, 5}};
    s.typeImages = 0;
    s.typeMp3 = 1;
    s.typeFlash = 1;
    return s;
}

// Read over two different records, every field is either the text's (equal in both) or the one
// each record had; resolutions read from the text are appended to those a record had.
void checkUnmentionedKept(const DownloadSettings& fromDefaults, const std::string& text) {
    const DownloadSettings a;
    const DownloadSettings b = otherStart();
    DownloadSettings fromOther = b;
    vx::applySettingsText(fromOther, text);
    auto same = [&](auto field) {
        const auto& x = fromDefaults.*field;
        const auto& y = fromOther.*field;
        return x == y || (x == a.*field && y == b.*field);
    };
    require(same(&DownloadSettings::saveFolder) && same(&DownloadSettings::limitFileSize) &&
                same(&DownloadSettings::largerThanOn) && same(&DownloadSettings::smallerThanOn) &&
                same(&DownloadSettings::largerThanKB) && same(&DownloadSettings::smallerThanKB) &&
                same(&DownloadSettings::limitResolution) && same(&DownloadSettings::typeImages) &&
                same(&DownloadSettings::typeMp3) && same(&DownloadSettings::typeFlash),
            "a field is read from the text or kept");
    std::vector<ResolutionCap> appended = b.resolutions;
    appended.insert(appended.end(), fromDefaults.resolutions.begin(),
                    fromDefaults.resolutions.end());
    require(fromOther.resolutions == appended, "resolutions read are appended");
}

void runOnce(const std::string& text) {
    vx::test::MemoryFileSystem files;
    vx::test::FakeInstall install(std::string("fuzz") + vx::pathSeparator() + "install");
    files.writeFile(vx::settingsFilePath(install), text);
    DownloadSettings read;
    require(vx::loadSettings(read, install, files), "a readable file counts as read");
    checkFields(read);
    checkUnmentionedKept(read, text);

    // Pairs no code page has, and half a character, are not written back whole.
    if (!vx::fuzz::trailBytesAreReal(text) || vx::fuzz::endsWithHalfCharacter(read.saveFolder))
        return;
    const std::string written = vx::settingsText(read);
    DownloadSettings again;
    vx::applySettingsText(again, written);
    require(again == read, "settingsText reads back as the same record");
    require(vx::settingsText(again) == written, "the written text is stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    vx::mbcs::useSingleByte();
    runOnce(text);
    vx::mbcs::useCodePage936();
    runOnce(text);
    vx::mbcs::useSingleByte();
    return 0;
}

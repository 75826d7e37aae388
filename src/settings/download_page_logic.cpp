#include "settings/download_page_logic.h"

#include <algorithm>

#include "base/decimal.h"
#include "base/file_system.h"

namespace vx {

int standardResolutionIndex(const ResolutionCap& resolution) {
    for (std::size_t i = 0; i < kStandardResolutions.size(); ++i) {
        if (kStandardResolutions[i] == resolution)
            return static_cast<int>(i);
    }
    return -1;
}

bool containsResolution(const std::vector<ResolutionCap>& list, const ResolutionCap& resolution) {
    return std::find(list.begin(), list.end(), resolution) != list.end();
}

DownloadPageValues pageValuesFor(const DownloadSettings& settings) {
    DownloadPageValues values;
    values.folder = settings.saveFolder.str();
    values.limitFileSize = settings.limitFileSize != 0;
    values.largerThanOn = settings.largerThanOn != 0;
    values.smallerThanOn = settings.smallerThanOn != 0;
    values.largerThanKB = std::to_string(settings.largerThanKB);
    values.smallerThanKB = std::to_string(settings.smallerThanKB);
    values.limitResolution = settings.limitResolution != 0;
    values.standard = standardBoxesFor(settings.resolutions);
    values.typeImages = settings.typeImages != 0;
    values.typeMp3 = settings.typeMp3 != 0;
    values.typeFlash = settings.typeFlash != 0;
    if (!values.typeImages && !values.typeMp3 && !values.typeFlash)
        values.typeImages = true;
    return values;
}

SizeEnabling sizeEnabling(bool limitFileSize, bool largerThanOn, bool smallerThanOn) {
    SizeEnabling enabling;
    enabling.largerBox = limitFileSize;
    enabling.smallerBox = limitFileSize;
    enabling.labels = limitFileSize;
    enabling.largerEdit = limitFileSize && largerThanOn;
    enabling.smallerEdit = limitFileSize && smallerThanOn;
    return enabling;
}

bool limitAfterSizeBoxClick(bool largerThanOn, bool smallerThanOn) {
    return largerThanOn || smallerThanOn;
}

bool typeBoxMustStayChecked(bool images, bool mp3, bool flash) {
    return !images && !mp3 && !flash;
}

bool followStandardBox(std::vector<ResolutionCap>& list, const ResolutionCap& resolution,
                       bool checked) {
    auto found = std::find(list.begin(), list.end(), resolution);
    if (checked && found == list.end()) {
        list.push_back(resolution);
        return true;
    }
    if (!checked && found != list.end()) {
        list.erase(found);
        return true;
    }
    return false;
}

std::vector<ResolutionCap> rebuildResolutions(const std::array<bool, 5>& standardChecked,
                                              const std::vector<ResolutionCap>& dialogList) {
    std::vector<ResolutionCap> list;
    for (std::size_t i = 0; i < kStandardResolutions.size(); ++i)
        followStandardBox(list, kStandardResolutions[i], standardChecked[i]);
    for (const ResolutionCap& entry : dialogList) {
        if (!containsResolution(list, entry))
            list.push_back(entry);
    }
    return list;
}

std::array<bool, 5> standardBoxesFor(const std::vector<ResolutionCap>& list) {
    std::array<bool, 5> boxes{};
    for (std::size_t i = 0; i < kStandardResolutions.size(); ++i)
        boxes[i] = containsResolution(list, kStandardResolutions[i]);
    return boxes;
}

namespace {

bool endsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

FolderCheck checkSaveFolder(const std::string& folder, FileSystem& files) {
    const char separator = pathSeparator();
    // A trailing separator names the same folder; the lookup is done without it.
    std::string name = folder;
    // Stepped by characters: in a double-byte code page the separator byte may end a character.
    while (name.size() > 1 && endsWithSeparator(name) && name[name.size() - 2] != ':')
        name.pop_back();
    if (!name.empty() && files.exists(name))
        return files.isFolder(name) ? FolderCheck::Accept : FolderCheck::NameTakenByFile;
    const std::string driveRoot = std::string(":") + separator;
    if (folder.size() > 4 && !endsWith(folder, ":") && !endsWith(folder, driveRoot))
        return FolderCheck::Create;
    return FolderCheck::Accept;
}

void applyPageValues(DownloadSettings& settings, const DownloadPageValues& values) {
    settings.limitFileSize = values.limitFileSize && (values.largerThanOn || values.smallerThanOn);
    settings.largerThanOn = values.largerThanOn ? 1 : 0;
    settings.smallerThanOn = values.smallerThanOn ? 1 : 0;
    settings.largerThanKB = leadingDecimal32(values.largerThanKB);
    settings.smallerThanKB = leadingDecimal32(values.smallerThanKB);
    settings.typeImages = values.typeImages ? 1 : 0;
    settings.typeMp3 = values.typeMp3 ? 1 : 0;
    settings.typeFlash = values.typeFlash ? 1 : 0;
    settings.limitResolution = values.limitResolution && !settings.resolutions.empty();
}

}  // namespace vx

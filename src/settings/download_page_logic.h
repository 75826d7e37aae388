#pragma once
// The rules of the "Download Setting" page that need no window: what the page shows for a
// record, which controls are enabled, how clicks change the record's resolution list, what Apply
// does with the folder text and which fields it stores.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/download_settings.h"

namespace vx {

class FileSystem;

// The resolutions offered as check boxes, in the order of their boxes.
inline constexpr std::array<ResolutionCap, 5> kStandardResolutions{
    {{640, 480}, {800, 600}, {1024, 768}, {1280, 768}, {1600, 1200}}};

// Index into kStandardResolutions, -1 for any other resolution.
int standardResolutionIndex(const ResolutionCap& resolution);
bool containsResolution(const std::vector<ResolutionCap>& list, const ResolutionCap& resolution);

// The values of the page's controls.
struct DownloadPageValues {
    std::string folder;
    bool limitFileSize = false;
    bool largerThanOn = false;
    bool smallerThanOn = false;
    std::string largerThanKB;  // the texts of the two size edits
    std::string smallerThanKB;
    bool limitResolution = false;
    std::array<bool, 5> standard{};  // the boxes of kStandardResolutions
    bool typeImages = false;
    bool typeMp3 = false;
    bool typeFlash = false;
};

// What the page shows when it opens over `settings`. With no type set, "Images" is shown checked.
DownloadPageValues pageValuesFor(const DownloadSettings& settings);

struct SizeEnabling {
    bool largerBox = false;
    bool smallerBox = false;
    bool labels = false;  // the two "KB." labels
    bool largerEdit = false;
    bool smallerEdit = false;
};

// The size controls' enabling from "Limit Download File Size" and the two size boxes.
SizeEnabling sizeEnabling(bool limitFileSize, bool largerThanOn, bool smallerThanOn);

// After a click on "Download files >" or "<": whether "Limit Download File Size" is checked.
// Unchecking both size boxes unchecks it; checking one checks it.
bool limitAfterSizeBoxClick(bool largerThanOn, bool smallerThanOn);

// After a click on a type box: true when no type would be left, so the box is checked again.
bool typeBoxMustStayChecked(bool images, bool mp3, bool flash);

// A standard box was clicked: the list gains the resolution when the box is checked and it is
// absent, and loses it when the box is unchecked and it is present. False when nothing changed.
bool followStandardBox(std::vector<ResolutionCap>& list, const ResolutionCap& resolution,
                       bool checked);

// The record's list after "OK" in the resolution list: the standard resolutions whose boxes are
// checked, in box order, then every entry of the dialog's list not yet in it, in its order.
std::vector<ResolutionCap> rebuildResolutions(const std::array<bool, 5>& standardChecked,
                                              const std::vector<ResolutionCap>& dialogList);

// The check boxes' states for a list.
std::array<bool, 5> standardBoxesFor(const std::vector<ResolutionCap>& list);

enum class FolderCheck {
    Accept,           // go on without creating anything
    Create,           // create the folder (one level)
    NameTakenByFile,  // a file has that name: Apply fails
};

// Apply's decision for the folder text. A folder that exists is accepted whether or not its text
// ends in a separator. Nothing of that name: created when the text is longer than 4 characters
// and does not end in ":" or ":" plus the separator (a drive or its root), accepted otherwise.
FolderCheck checkSaveFolder(const std::string& folder, FileSystem& files);

// Apply's field updates from the page's values (the folder is stored separately, before the
// folder check): the size filter is on only with at least one size box, the resolution filter
// only with a resolution in the list.
void applyPageValues(DownloadSettings& settings, const DownloadPageValues& values);

}  // namespace vx

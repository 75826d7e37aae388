#include "settings/win/prop_page_download_set.h"

#include <shlobj.h>

#include "base/file_system.h"
#include "base/fixed_text.h"
#include "resources/resource.h"
#include "settings/win/resolution_list_dialog.h"
#include "ui/com.h"
#include "ui/message_box.h"

namespace vx {

namespace {

constexpr int kTypeBoxIds[] = {IDC_TYPE_IMAGES, IDC_TYPE_MP3, IDC_TYPE_FLASH};

// The folder the browser opens on, and whether the browser has selected it yet.
struct BrowseStart {
    std::string folder;  // full path, no trailing backslash
    bool selected = false;
};

// Full, with no trailing backslash (but "C:\"), so that two spellings of a folder compare equal.
std::string comparablePath(const std::string& path) {
    char full[MAX_PATH] = {};
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    std::string out = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
    while (out.size() > 3 && out.back() == '\\')
        out.pop_back();
    return out;
}

// Wine's browser finds the folder to select by comparing the item ids of the path with those of
// its tree, stamps included; looking a folder up can move its last-access stamp, and then the
// look-up of the first try no longer matches the tree it has just filled. A second try looks up
// the stamps as they now are and finds the folder.
constexpr int kSelectAttempts = 3;

int CALLBACK browseCallback(HWND window, UINT msg, LPARAM param, LPARAM data) {
    auto* start = reinterpret_cast<BrowseStart*>(data);
    if (!start || start->folder.empty())
        return 0;
    if (msg == BFFM_INITIALIZED) {
        for (int attempt = 0; attempt < kSelectAttempts && !start->selected; ++attempt)
            SendMessageA(window, BFFM_SETSELECTIONA, TRUE,
                         reinterpret_cast<LPARAM>(start->folder.c_str()));
    } else if (msg == BFFM_SELCHANGED) {
        char path[MAX_PATH] = {};
        start->selected = param &&
                          SHGetPathFromIDListA(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path) &&
                          lstrcmpiA(comparablePath(path).c_str(), start->folder.c_str()) == 0;
    }
    return 0;
}

}  // namespace

CPropPageDownloadSet::CPropPageDownloadSet() : PropertyPage(IDD_PROP_PAGE_DOWNLOAD_SET) {}

void CPropPageDownloadSet::setSettings(DownloadSettings* settings) {
    if (settings)
        settings_ = settings;
}

bool CPropPageDownloadSet::OnInitDialog() {
    sendItemMessage(IDC_SAVE_FOLDER, EM_LIMITTEXT, kFolderMaxChars, 0);
    if (settings_)
        showValues(pageValuesFor(*settings_));
    applySizeEnabling();
    applyResolutionEnabling();
    return true;
}

void CPropPageDownloadSet::showValues(const DownloadPageValues& values) {
    filling_ = true;
    setItemText(IDC_SAVE_FOLDER, values.folder);
    setChecked(IDC_LIMIT_FILE_SIZE, values.limitFileSize);
    setChecked(IDC_LARGER_THAN, values.largerThanOn);
    setChecked(IDC_SMALLER_THAN, values.smallerThanOn);
    setItemText(IDC_LARGER_THAN_KB, values.largerThanKB);
    setItemText(IDC_SMALLER_THAN_KB, values.smallerThanKB);
    setChecked(IDC_LIMIT_RESOLUTION, values.limitResolution);
    for (std::size_t i = 0; i < kStandardBoxIds.size(); ++i)
        setChecked(kStandardBoxIds[i], values.standard[i]);
    setChecked(IDC_TYPE_IMAGES, values.typeImages);
    setChecked(IDC_TYPE_MP3, values.typeMp3);
    setChecked(IDC_TYPE_FLASH, values.typeFlash);
    filling_ = false;
}

DownloadPageValues CPropPageDownloadSet::controlValues() const {
    DownloadPageValues values;
    values.folder = itemText(IDC_SAVE_FOLDER);
    values.limitFileSize = isChecked(IDC_LIMIT_FILE_SIZE);
    values.largerThanOn = isChecked(IDC_LARGER_THAN);
    values.smallerThanOn = isChecked(IDC_SMALLER_THAN);
    values.largerThanKB = itemText(IDC_LARGER_THAN_KB);
    values.smallerThanKB = itemText(IDC_SMALLER_THAN_KB);
    values.limitResolution = isChecked(IDC_LIMIT_RESOLUTION);
    for (std::size_t i = 0; i < kStandardBoxIds.size(); ++i)
        values.standard[i] = isChecked(kStandardBoxIds[i]);
    values.typeImages = isChecked(IDC_TYPE_IMAGES);
    values.typeMp3 = isChecked(IDC_TYPE_MP3);
    values.typeFlash = isChecked(IDC_TYPE_FLASH);
    return values;
}

void CPropPageDownloadSet::markModified() {
    if (!filling_)
        SetModified(true);
}

void CPropPageDownloadSet::applySizeEnabling() {
    SizeEnabling enabling = sizeEnabling(isChecked(IDC_LIMIT_FILE_SIZE), isChecked(IDC_LARGER_THAN),
                                         isChecked(IDC_SMALLER_THAN));
    enableItem(IDC_LARGER_THAN, enabling.largerBox);
    enableItem(IDC_SMALLER_THAN, enabling.smallerBox);
    enableItem(IDC_LARGER_KB_LABEL, enabling.labels);
    enableItem(IDC_SMALLER_KB_LABEL, enabling.labels);
    enableItem(IDC_LARGER_THAN_KB, enabling.largerEdit);
    enableItem(IDC_SMALLER_THAN_KB, enabling.smallerEdit);
}

void CPropPageDownloadSet::applyResolutionEnabling() {
    bool on = isChecked(IDC_LIMIT_RESOLUTION);
    for (int id : kStandardBoxIds)
        enableItem(id, on);
    enableItem(IDC_MORE_RESOLUTIONS, on);
}

bool CPropPageDownloadSet::OnCommand(int id, int code, HWND) {
    if (code == EN_CHANGE) {
        // The two size edits alike: editing either number is a change to apply.
        if (id == IDC_SAVE_FOLDER || id == IDC_LARGER_THAN_KB || id == IDC_SMALLER_THAN_KB) {
            markModified();
            return true;
        }
        return false;
    }
    if (code != BN_CLICKED)
        return false;
    switch (id) {
        case IDC_BROWSE_FOLDER:
            browseFolder();
            return true;
        case IDC_LIMIT_FILE_SIZE:
            markModified();
            applySizeEnabling();
            return true;
        case IDC_LARGER_THAN:
            onSizeBoxClicked(IDC_LARGER_THAN, IDC_LARGER_THAN_KB);
            return true;
        case IDC_SMALLER_THAN:
            onSizeBoxClicked(IDC_SMALLER_THAN, IDC_SMALLER_THAN_KB);
            return true;
        case IDC_LIMIT_RESOLUTION:
            markModified();
            applyResolutionEnabling();
            return true;
        case IDC_MORE_RESOLUTIONS:
            editResolutionList();
            return true;
        case IDC_TYPE_IMAGES:
        case IDC_TYPE_MP3:
        case IDC_TYPE_FLASH:
            onTypeBoxClicked(id);
            return true;
        default:
            break;
    }
    for (std::size_t i = 0; i < kStandardBoxIds.size(); ++i) {
        if (id == kStandardBoxIds[i]) {
            onStandardBoxClicked(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void CPropPageDownloadSet::onSizeBoxClicked(int box, int edit) {
    markModified();
    enableItem(edit, isChecked(box));
    setChecked(IDC_LIMIT_FILE_SIZE,
               limitAfterSizeBoxClick(isChecked(IDC_LARGER_THAN), isChecked(IDC_SMALLER_THAN)));
}

void CPropPageDownloadSet::onStandardBoxClicked(int index) {
    markModified();
    if (settings_)
        followStandardBox(settings_->resolutions, kStandardResolutions[index],
                          isChecked(kStandardBoxIds[index]));
}

void CPropPageDownloadSet::onTypeBoxClicked(int id) {
    if (typeBoxMustStayChecked(isChecked(IDC_TYPE_IMAGES), isChecked(IDC_TYPE_MP3),
                               isChecked(IDC_TYPE_FLASH))) {
        setChecked(id, true);
        return;
    }
    markModified();
}

void CPropPageDownloadSet::browseFolder() {
    const std::string initial = cutText(itemText(IDC_SAVE_FOLDER), 519);
    BrowseStart start;
    if (!initial.empty())
        start.folder = comparablePath(initial);
    // The new dialog style needs COM on this thread, which may be a download worker.
    ui::ComInit com;
    BROWSEINFOA info{};
    info.hwndOwner = hwnd();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = &browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&start);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return;
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen, path)) {
        setItemText(IDC_SAVE_FOLDER, path);
        markModified();
    }
    CoTaskMemFree(chosen);
}

void CPropPageDownloadSet::editResolutionList() {
    if (!settings_)
        return;
    ResolutionListDialog dialog(settings_->resolutions);
    if (dialog.DoModal(hwnd()) != IDOK)
        return;
    std::array<bool, 5> boxes{};
    for (std::size_t i = 0; i < kStandardBoxIds.size(); ++i)
        boxes[i] = isChecked(kStandardBoxIds[i]);
    settings_->resolutions = rebuildResolutions(boxes, dialog.entries());
    markModified();
    // A standard resolution added through the list shows on its box too.
    std::array<bool, 5> shown = standardBoxesFor(settings_->resolutions);
    for (std::size_t i = 0; i < kStandardBoxIds.size(); ++i)
        setChecked(kStandardBoxIds[i], shown[i]);
}

void CPropPageDownloadSet::showError(uint32_t code) const {
    // The system's text in the "Error" box, owned by the sheet so that it cannot be used meanwhile.
    ui::systemErrorBox(code, sheetWindow());
}

void CPropPageDownloadSet::showPage() {
    // OK may have been pressed on another page: the folder in question comes into view.
    ui::PropSheet* sheet = ui::PropSheet::fromWindow(hwnd());
    if (sheet && sheet->GetActivePage() != this)
        sheet->SetActivePage(*this);
}

bool CPropPageDownloadSet::OnApply() {
    if (!settings_)
        return true;
    DownloadPageValues values = controlValues();
    settings_->saveFolder = values.folder;

    FileSystem& files = platformFileSystem();
    const std::string& folder = settings_->saveFolder.str();
    switch (checkSaveFolder(folder, files)) {
        case FolderCheck::NameTakenByFile:
            showPage();
            ui::appMessageBox(ui::loadString(IDS_FOLDER_TAKEN_BY_FILE), MB_OK, sheetWindow());
            return false;
        case FolderCheck::Create: {
            uint32_t error = 0;
            if (!files.createFolder(folder, &error)) {
                showPage();
                showError(error);
                return false;
            }
            break;
        }
        case FolderCheck::Accept:
            break;
    }

    applyPageValues(*settings_, values);
    uint32_t error = 0;
    bool saved = commit_ && commit_(*settings_, &error);
    // The merged record may hold what another sheet applied meanwhile.
    showValues(pageValuesFor(*settings_));
    if (!saved)
        showError(error);
    return true;
}

}  // namespace vx

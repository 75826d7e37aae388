#include "folder_choice.h"

#include <shlobj.h>

#include "base/file_system.h"
#include "base/install_folder.h"
#include "settings/download_settings.h"

namespace album {

namespace {

// Vexaro's own folder: where the band and the settings find it too.
class VexaroInstall final : public vx::InstallEnvironment {
  public:
    std::string installFolder() override {
        std::optional<std::string> path = registryInstallPath();
        if (!path || path->empty())
            return vx::platformInstallEnvironment().installFolder();
        if (path->back() != '\\')
            *path += '\\';
        return *path;
    }
    std::optional<std::string> registryInstallPath() override {
        return vx::platformInstallEnvironment().registryInstallPath();
    }
};

std::wstring wide(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

int CALLBACK selectStart(HWND dialog, UINT msg, LPARAM, LPARAM start) {
    if (msg == BFFM_INITIALIZED && start) {
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
        // Once more when the dialog has finished filling its tree: Wine's dialog sometimes
        // loses the first selection. The text lives until the dialog has ended.
        PostMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    }
    return 0;
}

}  // namespace

std::wstring savedFolder() {
    VexaroInstall install;
    vx::DownloadSettings settings;
    vx::initSettings(settings, install, vx::platformFileSystem());
    return wide(settings.saveFolder.str());
}

std::optional<std::wstring> chooseFolder(HWND owner, const std::wstring& start) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = L"Choose the folder of pictures for the thumbnail album:";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = &selectStart;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    if (!ok)
        return std::wstring();
    return std::wstring(path);
}

}  // namespace album

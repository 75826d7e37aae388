#include "app/win/html_help.h"

#include <htmlhelp.h>

#include <utility>

#include "base/install_folder.h"
#include "resources/resource.h"
#include "ui/module.h"

namespace vx {

const char HtmlHelpLoader::kControlKey[] =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const char HtmlHelpLoader::kLibraryName[] = "hhctrl.ocx";

namespace {

constexpr WORD kHtmlHelpAOrdinal = 14;

// The default value of HKEY_CLASSES_ROOT\`key`, at most MAX_PATH bytes; empty when there is none.
std::string registeredLibrary(const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return {};
    char path[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExA(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(opened);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    // The value may lack its terminating NUL; the buffer has room for one.
    return std::string(path);
}

}  // namespace

HtmlHelpLoader::HtmlHelpLoader(std::string controlKey, std::string libraryName, LibraryLoader load)
    : controlKey_(std::move(controlKey)),
      libraryName_(std::move(libraryName)),
      load_(std::move(load)) {
    if (!load_)
        load_ = [](const std::string& name) { return LoadLibraryA(name.c_str()); };
}

HWND HtmlHelpLoader::call(HWND caller, const std::string& file, UINT command, DWORD_PTR data) {
    if (failed_)
        return nullptr;
    if (!library_) {
        const std::string registered = registeredLibrary(controlKey_);
        if (!registered.empty())
            library_ = load_(registered);
        if (!library_)
            library_ = load_(libraryName_);
        if (!library_) {
            failed_ = true;
            return nullptr;
        }
    }
    if (!entry_) {
        entry_ = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(GetProcAddress(library_, MAKEINTRESOURCEA(kHtmlHelpAOrdinal))));
        if (!entry_) {
            failed_ = true;
            return nullptr;
        }
    }
    return entry_(caller, file.c_str(), command, data);
}

HtmlHelpLoader& processHtmlHelp() {
    static HtmlHelpLoader loader;
    return loader;
}

HWND showUserManual(HWND caller) {
    std::string path = platformInstallEnvironment().installFolder();
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    path += ui::loadString(IDS_HELP_FILE);
    return processHtmlHelp().call(caller, path, HH_DISPLAY_TOPIC, 0);
}

}  // namespace vx

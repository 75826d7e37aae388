#pragma once
// HTML Help, loaded when first asked for: the registered HTML Help control's library, else
// "hhctrl.ocx", and its ANSI entry point (ordinal 14). A failed load is remembered so later calls
// do not try again; the library stays loaded for the life of the process.

#include <windows.h>

#include <functional>
#include <string>

namespace vx {

class HtmlHelpLoader {
  public:
    using LibraryLoader = std::function<HMODULE(const std::string& name)>;

    // The HTML Help control's InprocServer32 key under HKEY_CLASSES_ROOT.
    static const char kControlKey[];
    static const char kLibraryName[];

    // `controlKey` and `libraryName` name where to look; `load` loads a library by name
    // (LoadLibraryA by default).
    explicit HtmlHelpLoader(std::string controlKey = kControlKey,
                            std::string libraryName = kLibraryName, LibraryLoader load = nullptr);

    // The HTML Help function's result for the four arguments, or null when HTML Help is not
    // available.
    HWND call(HWND caller, const std::string& file, UINT command, DWORD_PTR data);

    bool failed() const { return failed_; }
    HMODULE library() const { return library_; }

  private:
    using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

    std::string controlKey_;
    std::string libraryName_;
    LibraryLoader load_;
    HMODULE library_ = nullptr;
    HtmlHelpFunction entry_ = nullptr;
    bool failed_ = false;
};

// The process's one loader.
HtmlHelpLoader& processHtmlHelp();

// "User &Manual": the default topic of the install folder's "quenta.chm", with `caller` as the
// caller window. Shows nothing when HTML Help or the file is missing.
HWND showUserManual(HWND caller);

}  // namespace vx

#pragma once
// The folder the user picks for an album, starting at Vexaro's save folder.

#include <windows.h>

#include <optional>
#include <string>

namespace album {

// Vexaro's save folder as its settings hold it: "config.xml" in the folder named by the
// registry's InstallPath (the host program's folder when that value is missing); empty when
// there is none.
std::wstring savedFolder();

// Asks the user for a folder of pictures in the shell's folder dialog owned by `owner`, with
// `start` selected; nullopt when the user cancels.
std::optional<std::wstring> chooseFolder(HWND owner, const std::wstring& start);

}  // namespace album

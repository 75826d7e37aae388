#pragma once
// Which of the three run modes a Vexaro process enters, from its command line.

#include <string_view>

namespace vx {

enum class RunMode {
    AllWindows,  // "/all": download from every open browser window
    UrlList,     // "/current": download the pages listed in cacheurl.xml
    WindowList,  // neither: the main window with the list of browser windows
};

// "/all" anywhere in the whole command line (program path included, case-sensitive, no
// separator needed) wins over "/current" anywhere in it; otherwise the window list.
RunMode chooseRunMode(std::string_view commandLine);

}  // namespace vx

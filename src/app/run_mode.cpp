#include "app/run_mode.h"

namespace vx {

RunMode chooseRunMode(std::string_view commandLine) {
    if (commandLine.find("/all") != std::string_view::npos)
        return RunMode::AllWindows;
    if (commandLine.find("/current") != std::string_view::npos)
        return RunMode::UrlList;
    return RunMode::WindowList;
}

}  // namespace vx

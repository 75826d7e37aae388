#include "update/browser_command.h"

namespace vx {

std::optional<std::string> browserCommandLine(std::string_view registeredCommand,
                                              std::string_view url) {
    size_t cut = registeredCommand.find("\"%1\"");
    if (cut == std::string_view::npos)
        cut = registeredCommand.find("%1");
    std::string command(registeredCommand.substr(0, cut));
    if (command.size() + 1 + url.size() + 1 > kBrowserCommandCapacity)
        return std::nullopt;
    command += ' ';
    command += url;
    return command;
}

}  // namespace vx

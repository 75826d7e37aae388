#pragma once
// vexaro-harvest: the media of a running Chromium's open tabs, saved by the engine's own rules
// (filters, naming, history). Native builds only.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vx::chromium {

enum class HarvestMode { All, Current, List };

struct HarvestOptions {
    HarvestMode mode = HarvestMode::All;
    std::string endpoint = "127.0.0.1:9222";
    std::string configFolder;  // config.xml, cacheurl.xml and History; the user's by default
    std::string settingsFile;  // config.xml of the configuration folder when empty
    std::string saveFolder;    // the settings' folder when empty
    bool history = false;
    int timeoutSeconds = 30;
};

// The options of a command line (without the program name); nullopt with `error` set when they
// make no sense, and with an empty `error` for --help.
std::optional<HarvestOptions> parseHarvestArguments(const std::vector<std::string>& args,
                                                    std::string& error);

std::string harvestUsage();

// The whole run: 0 when nothing failed, 1 when something did, 2 for a bad command line.
int runHarvest(const HarvestOptions& options, std::ostream& out, std::ostream& err,
               bool progressOnTerminal);

}  // namespace vx::chromium

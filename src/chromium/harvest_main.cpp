#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "chromium/harvest.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<vx::chromium::HarvestOptions> options =
        vx::chromium::parseHarvestArguments(args, error);
    if (!options) {
        if (!error.empty())
            std::cerr << "vexaro-harvest: " << error << "\n";
        (error.empty() ? std::cout : std::cerr) << vx::chromium::harvestUsage();
        return error.empty() ? 0 : 2;
    }
    return vx::chromium::runHarvest(*options, std::cout, std::cerr, ::isatty(2) != 0);
}

#pragma once
// The settings record with the process's own install folder, registry and files, for the windows
// that own one.

#include <cstdint>

#include "settings/download_settings.h"

namespace vx {

// Defaults (save folder from the registry's InstallPath), then "config.xml" of the install folder.
void initSettings(DownloadSettings& settings);

// Replaces "config.xml". When the file cannot be written, shows the system's text for the file
// error and returns false; the record keeps its values.
bool saveSettings(const DownloadSettings& settings);

}  // namespace vx

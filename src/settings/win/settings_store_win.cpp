#include "settings/win/settings_store_win.h"

#include "base/file_system.h"
#include "base/install_folder.h"
#include "ui/message_box.h"

namespace vx {

void initSettings(DownloadSettings& settings) {
    initSettings(settings, platformInstallEnvironment(), platformFileSystem());
}

bool saveSettings(const DownloadSettings& settings) {
    uint32_t error = 0;
    if (saveSettings(settings, platformInstallEnvironment(), platformFileSystem(), &error))
        return true;
    ui::systemErrorBox(error);
    return false;
}

}  // namespace vx

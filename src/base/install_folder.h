#pragma once
// Where Vexaro's own files live ("config.xml", "cacheurl.xml", "History"), and the registry value
// that names the install folder for the browser band and for the default save folder.

#include <optional>
#include <string>

namespace vx {

// The folder part of an executable path, ending with '\'; a path without '\' comes back whole.
std::string installFolderFromModulePath(const std::string& modulePath);

class InstallEnvironment {
  public:
    virtual ~InstallEnvironment() = default;
    // The folder of the running executable, ending with the path separator.
    virtual std::string installFolder() = 0;
    // HKEY_CURRENT_USER\SOFTWARE\Norlume\Vexaro "InstallPath"; nullopt when it cannot be read.
    virtual std::optional<std::string> registryInstallPath() = 0;
};

// The process's real environment (module path and registry); defined by the platform layer.
InstallEnvironment& platformInstallEnvironment();

}  // namespace vx

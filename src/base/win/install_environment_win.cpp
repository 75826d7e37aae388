#include <windows.h>

#include <vector>

#include "base/install_folder.h"
#include "base/win/module_file.h"
#include "base/win/registry.h"

namespace vx {

namespace {

// The value under kProgramKey that names the install folder for the browser band.
constexpr char kInstallValue[] = "InstallPath";

std::optional<std::string> expandEnvironment(const std::string& text) {
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0)
        return std::nullopt;
    std::vector<char> buffer(needed + 1, '\0');
    DWORD n = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), needed + 1);
    if (n == 0 || n > needed + 1)
        return std::nullopt;
    return std::string(buffer.data());
}

class Win32InstallEnvironment final : public InstallEnvironment {
  public:
    std::string installFolder() override { return installFolderFromModulePath(moduleFileName()); }

    std::optional<std::string> registryInstallPath() override {
        RegistryKey key(HKEY_CURRENT_USER, kProgramKey);
        if (!key.get())
            return std::nullopt;
        DWORD type = REG_NONE;
        std::optional<std::string> text = readStringValue(key.get(), kInstallValue, &type);
        if (text && type == REG_EXPAND_SZ)
            return expandEnvironment(*text);
        return text;
    }
};

}  // namespace

InstallEnvironment& platformInstallEnvironment() {
    static Win32InstallEnvironment environment;
    return environment;
}

}  // namespace vx

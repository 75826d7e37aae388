#include <windows.h>

#include <vector>

#include "base/install_folder.h"

namespace vx {

namespace {

// HKEY_CURRENT_USER subkey and value that name the install folder for the browser band.
constexpr char kInstallKey[] = "SOFTWARE\\Norlume\\Vexaro";
constexpr char kInstallValue[] = "InstallPath";

std::string modulePath() {
    // The path as the 260-byte buffer receives it; a longer path (the buffer came back full)
    // is read again whole, so its folder is never cut.
    std::vector<char> buffer(MAX_PATH, '\0');
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    while (n >= buffer.size() && buffer.size() < 32768) {
        buffer.assign(buffer.size() * 2, '\0');
        n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (n == 0 || n >= buffer.size())
        return {};
    return std::string(buffer.data(), n);
}

class RegistryKey {
  public:
    RegistryKey(HKEY root, const char* subKey) {
        if (RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

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

// A string value of any length; the stored data need not end with a NUL.
std::optional<std::string> readStringValue(HKEY key, const char* name) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        std::vector<char> data(size + 1, '\0');
        DWORD got = size;
        LONG rc =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_MORE_DATA)
            continue;  // the value grew in between
        if (rc != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        std::string text(data.data(), got);
        // The text ends at its first NUL, whether the data held one or not.
        size_t nul = text.find('\0');
        if (nul != std::string::npos)
            text.resize(nul);
        if (type == REG_EXPAND_SZ)
            return expandEnvironment(text);
        return text;
    }
    return std::nullopt;
}

class Win32InstallEnvironment final : public InstallEnvironment {
  public:
    std::string installFolder() override { return installFolderFromModulePath(modulePath()); }

    std::optional<std::string> registryInstallPath() override {
        RegistryKey key(HKEY_CURRENT_USER, kInstallKey);
        if (!key.get())
            return std::nullopt;
        return readStringValue(key.get(), kInstallValue);
    }
};

}  // namespace

InstallEnvironment& platformInstallEnvironment() {
    static Win32InstallEnvironment environment;
    return environment;
}

}  // namespace vx

#pragma once
// Registry keys and values, read and written one way by the program, the band and the stand-ins.
// Header-only, like module_file.h, for the modules that link none of the program's libraries.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vx {

// HKEY_CURRENT_USER key of the program's own values (InstallPath, UpdateServer).
inline constexpr char kProgramKey[] = "SOFTWARE\\Norlume\\Vexaro";

// An open key, closed when it goes; get() is null when it could not be opened or created.
class RegistryKey {
  public:
    RegistryKey(HKEY root, const char* subKey, REGSAM access = KEY_QUERY_VALUE) {
        if (RegOpenKeyExA(root, subKey, 0, access, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    // The key opened, or made with its missing parents; `status` gets how that went.
    static RegistryKey created(HKEY root, const char* subKey, REGSAM access, LONG* status) {
        RegistryKey key;
        const LONG rc =
            RegCreateKeyExA(root, subKey, 0, nullptr, 0, access, nullptr, &key.key_, nullptr);
        if (rc != ERROR_SUCCESS)
            key.key_ = nullptr;
        if (status)
            *status = rc;
        return key;
    }
    ~RegistryKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey& operator=(RegistryKey&&) = delete;
    HKEY get() const { return key_; }

  private:
    RegistryKey() = default;
    HKEY key_ = nullptr;
};

// A value read whole into a buffer of a fixed size, as the band reads InstallPath and the update
// check reads UpdateServer: a value that does not fit is not read (ERROR_MORE_DATA). A key that
// cannot be opened reads as a missing value.
struct BoundedValue {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<char> bytes;  // what the read returned, `capacity` bytes at the most
};

inline BoundedValue readBoundedValue(HKEY root, const char* subKey, const char* name,
                                     DWORD capacity) {
    BoundedValue value;
    RegistryKey key(root, subKey);
    if (!key.get())
        return value;
    value.bytes.assign(capacity, '\0');
    DWORD size = capacity;
    value.status = RegQueryValueExA(key.get(), name, nullptr, &value.type,
                                    reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    value.bytes.resize(value.status == ERROR_SUCCESS ? size : 0);
    return value;
}

// A string value of any length (REG_SZ, or REG_EXPAND_SZ given as stored); the stored data need
// not end with a NUL, and the text ends at its first one. Nothing when absent or of another type.
inline std::optional<std::string> readStringValue(HKEY key, const char* name,
                                                  DWORD* typeOut = nullptr) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        std::vector<char> data(size + 1, '\0');
        DWORD got = size;
        const LONG rc =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_MORE_DATA)
            continue;  // the value grew in between
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        std::string text(data.data(), got);
        if (const size_t nul = text.find('\0'); nul != std::string::npos)
            text.resize(nul);
        if (typeOut)
            *typeOut = type;
        return text;
    }
    return std::nullopt;
}

inline LONG writeStringValue(HKEY key, const char* name, const std::string& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

}  // namespace vx

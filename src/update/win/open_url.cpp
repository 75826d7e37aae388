#include "update/win/open_url.h"

#include <shellapi.h>

#include <cstring>

#include "update/browser_command.h"

namespace vx {

namespace {

constexpr LONG kValueBufferSize = 260;

}  // namespace

LONG ReadRegistryDefault(HKEY root, const std::string& subKey, std::string& value) {
    HKEY key = nullptr;
    LONG error = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (error != ERROR_SUCCESS)
        return error;
    char buffer[kValueBufferSize] = {};
    LONG size = kValueBufferSize;
    error = RegQueryValueA(key, nullptr, buffer, &size);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS)
        return error;
    // A value stored without its terminator that fills the buffer would have been cut.
    const size_t length = strnlen(buffer, kValueBufferSize);
    if (length == static_cast<size_t>(kValueBufferSize))
        return ERROR_MORE_DATA;
    value.assign(buffer, length);
    return ERROR_SUCCESS;
}

INT_PTR OpenUrl(const std::string& url, int showCommand) {
    const auto shellResult = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, showCommand));
    if (shellResult > 32)
        return shellResult;

    std::string fileType;
    if (ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", fileType) != ERROR_SUCCESS ||
        fileType.empty())
        return shellResult;
    std::string registered;
    if (ReadRegistryDefault(HKEY_CLASSES_ROOT, fileType + "\\shell\\open\\command", registered) !=
            ERROR_SUCCESS ||
        registered.empty())
        return shellResult;
    const auto commandLine = browserCommandLine(registered, url);
    if (!commandLine)
        return shellResult;
    return WinExec(commandLine->c_str(), static_cast<UINT>(showCommand));
}

}  // namespace vx

#include "toolbar/handover.h"

#include <cstring>

namespace vx {

std::optional<std::string> installFolderFromValue(bool isString, const char* bytes,
                                                  std::size_t bytesRead) {
    if (!isString || bytes == nullptr || bytesRead == 0 || bytesRead >= kInstallPathBytes)
        return std::nullopt;
    const void* end = std::memchr(bytes, '\0', bytesRead);
    if (end == nullptr)
        return std::nullopt;
    return std::string(bytes, static_cast<const char*>(end));
}

std::string vexaroExecutablePath(const std::string& installFolder) {
    return installFolder + "\\Vexaro.exe";
}

std::string handOverFilePath(const std::string& installFolder) {
    return installFolder + "\\cacheurl.xml";
}

std::string handOverText(const std::string& pageAddress) {
    return "<URLCACHE>\n<URL>" + pageAddress + "</URL>\n</URLCACHE>";
}

std::string handOverBytes(const std::string& pageAddress) {
    std::string bytes;
    for (char c : handOverText(pageAddress)) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

}  // namespace vx

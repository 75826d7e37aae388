#include "base/install_folder.h"

#include "base/mbcs.h"

namespace vx {

std::string installFolderFromModulePath(const std::string& modulePath) {
    // Stepping by whole characters: in a double-byte code page the second byte of a character
    // may have the value of '\' without being a separator.
    size_t lastSeparator = std::string::npos;
    size_t pos = 0;
    while (pos < modulePath.size()) {
        if (modulePath[pos] == '\\')
            lastSeparator = pos;
        pos += mbcs::charLength(modulePath, pos);
    }
    if (lastSeparator == std::string::npos)
        return modulePath;
    return modulePath.substr(0, lastSeparator + 1);
}

}  // namespace vx

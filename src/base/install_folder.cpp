#include "base/install_folder.h"

namespace vx {

std::string installFolderFromModulePath(const std::string& modulePath) {
    size_t cut = modulePath.rfind('\\');
    if (cut == std::string::npos) return modulePath;
    return modulePath.substr(0, cut + 1);
}

}  // namespace vx

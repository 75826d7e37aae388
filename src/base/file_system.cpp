#include "base/file_system.h"

namespace vx {

char pathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string joinPath(const std::string& folder, const std::string& name) {
    std::string path = folder;
    if (!path.empty() && path.back() != pathSeparator()) path += pathSeparator();
    path += name;
    return path;
}

}  // namespace vx

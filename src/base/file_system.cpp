#include "base/file_system.h"

#include "base/mbcs.h"

namespace vx {

char pathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

bool endsWithSeparator(const std::string& path) {
    // Stepped by characters: the trail byte of a double-byte character may be 0x5C.
    std::size_t last = std::string::npos;
    for (std::size_t i = 0, n; (n = mbcs::charLength(path, i)) != 0; i += n)
        last = n == 1 ? i : std::string::npos;
    return last != std::string::npos && path[last] == pathSeparator();
}

std::string joinPath(const std::string& folder, const std::string& name) {
    std::string path = folder;
    if (!path.empty() && !endsWithSeparator(path))
        path += pathSeparator();
    path += name;
    return path;
}

}  // namespace vx

#include "app/album_message.h"

#include <cstdio>

namespace vx {

const char kAlbumCreateFailed[] = "Unable to create ThumbnailCreator Instance!\n";

namespace {
constexpr uint32_t kFirstDispatchError = 0x80040200;
constexpr uint32_t kLastDispatchError = 0x8004FFFF;
}  // namespace

std::string albumFailureMessage(uint32_t code, const std::optional<std::string>& systemText) {
    if (systemText && !systemText->empty()) {
        std::string text = *systemText;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    }
    char buffer[64];
    if (code > kFirstDispatchError && code <= kLastDispatchError)
        std::snprintf(buffer, sizeof buffer, "IDispatch error #%d",
                      static_cast<int>(code - kFirstDispatchError));
    else
        std::snprintf(buffer, sizeof buffer, "Unknown error 0x%0lX",
                      static_cast<unsigned long>(code));
    return buffer;
}

}  // namespace vx

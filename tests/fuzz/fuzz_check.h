#pragma once
// Helpers shared by the fuzz targets. A violated property is named on stderr and ends in an
// abort, which libFuzzer and the repeatable driver both report with the input that caused it.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "base/mbcs.h"

namespace vx::fuzz {

inline void require(bool condition, const char* target, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s: check failed: %s\n", target, what);
        std::abort();
    }
}

// Real double-byte code pages have no trail byte below 0x40, so none equal to a markup
// character, a separator or a control byte. Under the current lead-byte table, whether every
// pair in `text` is such a real one (always true under single-byte rules).
inline bool trailBytesAreReal(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (mbcs::isLeadByte(static_cast<unsigned char>(text[i]))) {
            if (static_cast<unsigned char>(text[i + 1]) < 0x40)
                return false;
            ++i;
        }
    }
    return true;
}

// Whether `text` ends in a lead byte with no byte after it. The engine ends a CDATA section at
// the first "]]>" byte string, which may begin with the trail byte of a character; the content
// then ends in half a character, which the writers leave out.
inline bool endsWithHalfCharacter(std::string_view text) {
    std::size_t last = 0;
    for (std::size_t pos = 0, step; (step = mbcs::charLength(text.data(), text.size(), pos)) != 0;
         pos += step)
        last = pos;
    return !text.empty() && last + 1 == text.size() &&
           mbcs::isLeadByte(static_cast<unsigned char>(text.back()));
}

}  // namespace vx::fuzz

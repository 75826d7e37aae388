#include "base/decimal.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <limits>

namespace vx {

int64_t leadingDecimal64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a negative number, whose range includes the lowest value.
    int64_t value = 0;
    const int64_t lowest = std::numeric_limits<int64_t>::min();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (lowest + digit) / 10) {
            value = lowest;
            for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            }
            break;
        }
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == lowest ? std::numeric_limits<int64_t>::max() : -value;
}

int32_t leadingDecimal32(std::string_view text) {
    return static_cast<int32_t>(std::clamp<int64_t>(leadingDecimal64(text),
                                                    std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

}  // namespace vx

#pragma once
// Numbers read from the text of stored files, the way the C library's atoi reads them.

#include <cstdint>
#include <string_view>

namespace vx {

// The leading decimal number of a text as the C library's atoi reads it (leading white space, an
// optional sign, digits; 0 when there is none), in 64 bits and held at the limits instead of
// overflowing.
int64_t leadingDecimal64(std::string_view text);
// The same number held within 32 bits, for the fields that are stored as 32-bit integers.
int32_t leadingDecimal32(std::string_view text);

}  // namespace vx

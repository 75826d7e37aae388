#pragma once
// Writes 24-bit RGB pictures as PNG files, with stored (uncompressed) deflate blocks, so no
// compression library is needed.

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// `rgb` holds height rows of width pixels, three bytes each, top row first.
bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace demo

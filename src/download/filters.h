#pragma once
// The size and resolution filters of the download settings. The type filter is the choice of
// collections made while a page's media are collected.

#include <cstdint>

namespace vx {

struct DownloadSettings;

// True when an image laid out at `width` by `height` pixels is to be left out: the resolution
// filter is on and the list holds exactly that size (no tolerance, no swapping of the sides).
bool isResolutionExcluded(const DownloadSettings& settings, int32_t width, int32_t height);

// True when a file of `size` bytes is to be left out ("Filtered."). Bounds are kilobytes of 1024
// bytes, computed in 64 bits. Only the enabled bounds apply: the lower bound alone keeps files of
// at least its size, the upper bound alone keeps files of at most its size; with both enabled,
// a lower bound above the upper one keeps what lies strictly outside [upper, lower], otherwise
// what lies strictly inside (lower, upper). With neither bound enabled nothing is filtered.
bool isSizeFiltered(const DownloadSettings& settings, uint64_t size);

}  // namespace vx

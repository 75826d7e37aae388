#include "download/filters.h"

#include "settings/download_settings.h"

namespace vx {

namespace {

uint64_t kilobytes(int32_t kb) {
    // A negative count from a hand-edited file is no bound below zero.
    return kb < 0 ? 0 : static_cast<uint64_t>(kb) << 10;
}

}  // namespace

bool isResolutionExcluded(const DownloadSettings& settings, int32_t width, int32_t height) {
    if (settings.limitResolution == 0)
        return false;
    for (const ResolutionCap& cap : settings.resolutions) {
        if (cap.width == width && cap.height == height)
            return true;
    }
    return false;
}

bool isSizeFiltered(const DownloadSettings& settings, uint64_t size) {
    if (settings.limitFileSize == 0)
        return false;
    bool lowerOn = settings.largerThanOn != 0;
    bool upperOn = settings.smallerThanOn != 0;
    uint64_t lower = kilobytes(settings.largerThanKB);
    uint64_t upper = kilobytes(settings.smallerThanKB);
    if (lowerOn && !upperOn)
        return size < lower;
    if (upperOn && !lowerOn)
        return size > upper;
    if (lowerOn && upperOn) {
        if (settings.largerThanKB > settings.smallerThanKB)
            return size >= upper && size <= lower;
        return size >= upper || size <= lower;
    }
    return false;
}

}  // namespace vx

#include "base/mbcs.h"

#include <array>
#include <atomic>

namespace vx::mbcs {

namespace detail {
std::array<std::atomic<bool>, 256> leadBytes{};
std::atomic<bool> anyLeadByte{false};
}  // namespace detail

namespace {

using detail::leadBytes;

void clearTable() {
    detail::anyLeadByte.store(false, std::memory_order_relaxed);
    for (auto& entry : leadBytes) {
        entry.store(false, std::memory_order_relaxed);
    }
}

}  // namespace

void setLeadByteRanges(const unsigned char* pairs, std::size_t size) {
    clearTable();
    if (pairs == nullptr) {
        return;
    }
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const unsigned first = pairs[i];
        const unsigned last = pairs[i + 1];
        if (first == 0 && last == 0) {
            break;
        }
        for (unsigned b = first; b <= last; ++b) {
            leadBytes[b].store(true, std::memory_order_relaxed);
            if (b >= 0x80)
                detail::anyLeadByte.store(true, std::memory_order_relaxed);
        }
    }
}

void useSingleByte() {
    clearTable();
}

void useCodePage936() {
    const unsigned char ranges[] = {0x81, 0xFE, 0, 0};
    setLeadByteRanges(ranges, sizeof ranges);
}

}  // namespace vx::mbcs

#include "base/mbcs.h"

#include <array>
#include <atomic>

namespace vx::mbcs {

namespace {

// Atomic so that a reader on another thread never races with start-up filling the table.
std::array<std::atomic<bool>, 256> leadBytes{};

void clearTable() {
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

bool isLeadByte(unsigned char byte) {
    return leadBytes[byte].load(std::memory_order_relaxed);
}

std::size_t charLength(const char* text, std::size_t length, std::size_t pos) {
    if (text == nullptr || pos >= length) {
        return 0;
    }
    if (pos + 1 < length && isLeadByte(static_cast<unsigned char>(text[pos]))) {
        return 2;
    }
    return 1;
}

std::size_t charLength(const std::string& text, std::size_t pos) {
    return charLength(text.data(), text.size(), pos);
}

}  // namespace vx::mbcs

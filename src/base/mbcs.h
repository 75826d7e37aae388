#pragma once
// Character stepping for the system ANSI code page. Double-byte code pages mark some byte
// values as lead bytes; a lead byte and the byte after it form one character. The table is
// process-wide and starts single-byte (no lead bytes), which is how code page 1252 behaves.

#include <array>
#include <atomic>
#include <cstddef>
#include <string>

namespace vx::mbcs {

// Replaces the lead-byte table. `pairs` holds inclusive (first, last) byte ranges one after
// the other, in the layout of the Win32 CPINFO LeadByte array: reading stops at a (0, 0) pair
// or after `size` bytes. A range whose first byte is above its last is ignored, and bytes below
// 0x80 never lead (no code page has such a lead byte).
void setLeadByteRanges(const unsigned char* pairs, std::size_t size);

// No lead bytes at all.
void useSingleByte();

// The lead bytes of code page 936 (0x81-0xFE); lets native tests run with double-byte rules.
void useCodePage936();

namespace detail {
// Atomic so that a reader on another thread never races with start-up filling the table.
extern std::array<std::atomic<bool>, 256> leadBytes;
extern std::atomic<bool> anyLeadByte;
}  // namespace detail

// False in single-byte code pages: every byte is a character, and text may be searched bytewise.
inline bool hasLeadBytes() {
    return detail::anyLeadByte.load(std::memory_order_relaxed);
}

// Inline: every byte of every parsed text asks. No code page has a lead byte below 0x80.
inline bool isLeadByte(unsigned char byte) {
    return byte >= 0x80 && detail::leadBytes[byte].load(std::memory_order_relaxed);
}

// Length in bytes of the character at `pos`: 2 for a lead byte that has a byte after it
// within the text, otherwise 1; 0 when `pos` is at or past the end, so stepping never leaves
// the text.
inline std::size_t charLength(const char* text, std::size_t length, std::size_t pos) {
    if (text == nullptr || pos >= length)
        return 0;
    return pos + 1 < length && isLeadByte(static_cast<unsigned char>(text[pos])) ? 2 : 1;
}
inline std::size_t charLength(const std::string& text, std::size_t pos) {
    return charLength(text.data(), text.size(), pos);
}

#if defined(_WIN32)
// Fills the table from GetCPInfo(CP_ACP). Called once at start-up, before any text is read.
void initFromSystemCodePage();
#endif

}  // namespace vx::mbcs

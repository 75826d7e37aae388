#pragma once
// The byte classes, names and entities that XmlDoc reads and writes alike, so that what it
// writes reads back with the same structure.

#include <array>
#include <string_view>

namespace vx::xml_syntax {

inline constexpr std::string_view kWhitespace = " \t\n\r";
inline constexpr std::string_view kDelimiters = "<>=\\/?!";

// Every byte of a name is classified, so the sets are looked up in a table built from them
// rather than searched byte by byte.
inline constexpr unsigned char kIsWhitespace = 1;
inline constexpr unsigned char kIsDelimiter = 2;

inline constexpr std::array<unsigned char, 256> kByteClass = [] {
    std::array<unsigned char, 256> table{};
    for (const char c : kWhitespace) {
        table[static_cast<unsigned char>(c)] |= kIsWhitespace;
    }
    for (const char c : kDelimiters) {
        table[static_cast<unsigned char>(c)] |= kIsDelimiter;
    }
    return table;
}();

inline bool isWhitespace(unsigned char c) {
    return (kByteClass[c] & kIsWhitespace) != 0;
}

inline bool isDelimiter(unsigned char c) {
    return (kByteClass[c] & kIsDelimiter) != 0;
}

// A name that scans back as exactly one unquoted token, so that the written document reads
// back with the same structure.
inline bool isValidName(const char* name) {
    if (name == nullptr || *name == '\0') {
        return false;
    }
    for (const char* p = name; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (isWhitespace(c) || isDelimiter(c) || c == '"') {
            return false;
        }
    }
    return true;
}

struct Entity {
    std::string_view name;  // after the '&'
    char value;
};

// Decoding tries the names in this order; escaping uses the same table.
inline constexpr Entity kEntities[] = {
    {"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'},
};

}  // namespace vx::xml_syntax

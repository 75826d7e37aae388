#include "base/string_table.h"

#include <algorithm>
#include <cstring>

#include "resources/resource.h"

namespace vx {

namespace {

constexpr StringEntry kEntries[] = {
#define VX_STRING(id, text) {id, text},
#include "resources/strings.def"
#undef VX_STRING
};

// A repeated id would make one of the texts unreachable in the resource string table.
constexpr bool idsAreUnique() {
    for (size_t i = 0; i < std::size(kEntries); ++i)
        for (size_t j = i + 1; j < std::size(kEntries); ++j)
            if (kEntries[i].id == kEntries[j].id)
                return false;
    return true;
}
static_assert(idsAreUnique(), "strings.def lists a string id twice");

bool isFlag(char c) {
    return std::strchr("-+ #0'", c) != nullptr;
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLengthModifier(char c) {
    return std::strchr("hlLqjztI", c) != nullptr;
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::span<const StringEntry> stringTable() {
    return kEntries;
}

const char* stringText(int id) {
    auto it = std::find_if(std::begin(kEntries), std::end(kEntries),
                           [id](const StringEntry& e) { return e.id == id; });
    return it == std::end(kEntries) ? nullptr : it->text;
}

std::string tableText(int id) {
    const char* text = stringText(id);
    return text ? text : "";
}

std::string formatText(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(pattern.size());
    size_t next = 0;
    size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        size_t j = i + 1;
        while (j < pattern.size() && isFlag(pattern[j]))
            ++j;
        while (j < pattern.size() && (isDigit(pattern[j]) || pattern[j] == '*'))
            ++j;
        if (j < pattern.size() && pattern[j] == '.') {
            ++j;
            while (j < pattern.size() && (isDigit(pattern[j]) || pattern[j] == '*'))
                ++j;
        }
        while (j < pattern.size() && isLengthModifier(pattern[j]))
            ++j;
        if (j >= pattern.size() || !isLetter(pattern[j])) {
            // Not a conversion: the '%' stands for itself.
            out += '%';
            ++i;
            continue;
        }
        if (next < args.size())
            out += args[next];
        ++next;
        i = j + 1;
    }
    return out;
}

}  // namespace vx

#pragma once
// The program's user-visible texts by string id, from the same list that the resource script
// compiles into the string table, so portable code and tests see exactly what the user sees.

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

struct StringEntry {
    int id;
    const char* text;
};

// Every entry of the list, in list order.
std::span<const StringEntry> stringTable();

// The text of `id`; nullptr when the list has no such id.
const char* stringText(int id);
// The text of `id`; empty when the list has no such id.
std::string tableText(int id);

// Fills a printf-style pattern with ready-made texts: each conversion ("%s", "%d", "%5.2f", ...)
// takes the next argument as it is, "%%" gives "%". Conversions without an argument left become
// empty, surplus arguments are ignored, so a mismatched pattern can never read past the arguments.
std::string formatText(std::string_view pattern, const std::vector<std::string>& args);

}  // namespace vx

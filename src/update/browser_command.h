#pragma once
// The command line that opens an address with the program registered for ".htm" files, for when
// the shell cannot open the address itself.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

// The command line is built in this many characters, its terminator included.
inline constexpr size_t kBrowserCommandCapacity = 520;

// The registered command cut where its "%1" placeholder begins (at the opening quotation mark of
// a quoted "%1", or at a bare %1; kept whole without one), then a blank and the address. Nothing
// when the result would not fit: a cut command or address would run something else.
std::optional<std::string> browserCommandLine(std::string_view registeredCommand,
                                              std::string_view url);

}  // namespace vx

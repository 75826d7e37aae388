#pragma once
// What the user is told when the thumbnail album component cannot be created or its operation
// fails.

#include <cstdint>
#include <optional>
#include <string>

namespace vx {

// Shown when the component is not registered, cannot be created or lacks its interface.
extern const char kAlbumCreateFailed[];

// The message for a failure code of the album operation: the system's text for it (`systemText`,
// as the system gives it) without its trailing line break; without one, "IDispatch error #N" for
// the codes an automation server defines (0x80040201 to 0x8004FFFF, N counted from 0x80040200),
// otherwise "Unknown error 0x..." with the code.
std::string albumFailureMessage(uint32_t code, const std::optional<std::string>& systemText);

}  // namespace vx

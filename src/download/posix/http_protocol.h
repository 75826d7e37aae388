#pragma once
// What the native HTTP client decides itself, as WinINet does for the Windows client: where a
// redirection leads, and the low-speed limit of a body.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "download/http_client.h"

namespace vx {

// Resolves a redirection target against the address that was asked for, as RFC 3986 (section 5.2,
// strict) resolves a reference, with a backslash before the query read as a slash. nullopt when
// it leads nowhere usable: an empty target, or one that is no http or https address with a host.
std::optional<std::string> resolveLocation(std::string_view base, std::string_view location);

// The body must bring at least `minBytes` in every window of `window` once it has started.
class LowSpeedGuard {
  public:
    using Clock = std::chrono::steady_clock;
    LowSpeedGuard(uint32_t windowMs, uint32_t minBytes);
    // Counts `n` bytes received at `now`; false when the last window was too slow.
    bool onBytes(std::size_t n, Clock::time_point now = Clock::now());
    // Time left in the current window before it must be judged.
    Clock::time_point windowEnd() const { return windowStart_ + window_; }

  private:
    std::chrono::milliseconds window_;
    uint64_t minBytes_;
    Clock::time_point windowStart_;
    uint64_t bytesInWindow_ = 0;
};

}  // namespace vx

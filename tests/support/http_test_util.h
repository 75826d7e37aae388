#pragma once
// Helpers for tests of an HTTP client against the loopback server, native and under Wine alike.

#include <string>
#include <utility>

#include "download/http_client.h"

namespace vx::test {

// The whole body, or what came before the error that ended it.
inline std::pair<std::string, HttpError> readWholeBody(HttpTransfer& transfer) {
    std::string body;
    char buffer[4096];
    for (;;) {
        ReadResult r = transfer.read(buffer, sizeof buffer);
        if (r.status == ReadStatus::Failed)
            return {body, r.error};
        if (r.status == ReadStatus::End)
            return {body, HttpError::None};
        body.append(buffer, r.count);
    }
}

// Time limits short enough for a test to watch a stall or a drip end, long enough for a loaded
// machine to pass an ordinary transfer.
inline HttpLimits shortHttpLimits() {
    HttpLimits limits;
    limits.connectTimeoutMs = 5000;
    limits.idleTimeoutMs = 1000;
    limits.headTimeoutMs = 3000;
    limits.lowSpeedWindowMs = 1500;
    limits.lowSpeedBytes = 64;
    return limits;
}

}  // namespace vx::test

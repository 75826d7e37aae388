#pragma once
// Helpers for tests of an HTTP client against the loopback server, native and under Wine alike.

#include <chrono>
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

// Limits that a loaded machine never comes near: a server that is going to answer does so within
// them. A test that watches one limit end a transfer shortens only that one, against a server
// that never sends what would satisfy it.
inline HttpLimits generousHttpLimits() {
    HttpLimits limits;
    limits.connectTimeoutMs = 60000;
    limits.idleTimeoutMs = 60000;
    limits.headTimeoutMs = 60000;
    limits.lowSpeedWindowMs = 60000;
    return limits;
}

// An abort check that gives up long after any short limit under test should have ended the
// transfer: a limit that fails to fire shows as Cancelled instead of hanging the test.
inline AbortCheck giveUpAfter(std::chrono::seconds wait = std::chrono::seconds(30)) {
    auto end = std::chrono::steady_clock::now() + wait;
    return [end] { return std::chrono::steady_clock::now() >= end; };
}

}  // namespace vx::test

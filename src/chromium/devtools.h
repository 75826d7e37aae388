#pragma once
// A client of the Chromium DevTools protocol: the target list of the browser's HTTP endpoint
// (libcurl) and one WebSocket session per tab (Boost.Beast), commands and answers in JSON
// (nlohmann). Native builds only.

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vx::chromium {

// What went wrong talking to the browser, in words for the user.
class DevToolsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The tab went away (closed, navigated off, the browser quit) while we talked to it.
class TargetClosed : public DevToolsError {
  public:
    using DevToolsError::DevToolsError;
};

struct DevToolsTarget {
    std::string id;
    std::string type;  // "page" for a tab; workers, extensions and the like otherwise
    std::string title;
    std::string url;
    std::string webSocketDebuggerUrl;  // empty when another client holds the tab
};

// "host:port" of a browser's DevTools endpoint, as the user gives it: a bare port means
// 127.0.0.1, and a leading "http://" is allowed.
std::string normalizeEndpoint(const std::string& text);

// Every target of the browser at `endpoint` ("/json/list"), in the browser's order. Throws
// DevToolsError when no browser answers there or its answer is not a target list.
std::vector<DevToolsTarget> listTargets(const std::string& endpoint,
                                        std::chrono::milliseconds timeout);

// The target list of a "/json/list" answer; throws DevToolsError when it is not one.
std::vector<DevToolsTarget> parseTargetList(const std::string& text);

// One WebSocket session with one tab. Belongs to the thread that uses it.
class DevToolsSession {
  public:
    // Connects to `webSocketUrl` ("ws://host:port/devtools/page/<id>"); throws DevToolsError.
    DevToolsSession(const std::string& webSocketUrl, std::chrono::milliseconds timeout);
    ~DevToolsSession();
    DevToolsSession(const DevToolsSession&) = delete;
    DevToolsSession& operator=(const DevToolsSession&) = delete;

    // Sends one command and waits for its answer, passing over events; the "result" object.
    // Throws TargetClosed when the tab went away, DevToolsError for an error answer or a timeout.
    nlohmann::json call(const std::string& method,
                        const nlohmann::json& params = nlohmann::json::object());

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vx::chromium

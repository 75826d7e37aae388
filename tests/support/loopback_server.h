#pragma once
// A small HTTP server on 127.0.0.1 for tests and benchmarks, in a thread of the test process.
// Each request target can be given an answer, including the broken ones real servers send:
// no length, wrong lengths, endless headers, a stall after the headers, a body that drips.
// A stalled answer holds its connection until the client goes away, the server stops, or the test
// releases it: the test decides when the server goes on, not a clock.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vx::test {

struct LoopbackResponse {
    enum class Kind {
        Fixed,           // head then body, then close
        EndlessHead,     // a status line, then header lines until the client goes away (2 MB)
        StallAfterHead,  // head and body, then silence until released; then `rest`
        Drip,            // head, then the body one byte per interval
        Hangup,          // close without a word
    };
    Kind kind = Kind::Fixed;
    std::string head;  // status line and header fields, each ending in CRLF, and the blank line
    std::string body;
    int dripIntervalMs = 500;
    std::string rest = {};  // StallAfterHead: sent once the test releases the server
};

// 200 with an exact Content-Length.
LoopbackResponse okResponse(std::string body);
// `status` with the header "Content-Length: <declared>" as given, whatever the body's size.
LoopbackResponse responseWithLength(int status, const std::string& declared, std::string body);
LoopbackResponse responseWithoutLength(std::string body);
// Head lines as given (each ending in CRLF); the blank line is added.
LoopbackResponse rawResponse(const std::string& headLines, std::string body);
LoopbackResponse chunkedResponse(const std::string& body);
LoopbackResponse redirectResponse(int status, const std::string& location);
LoopbackResponse endlessHeadResponse();
// A 200 declaring `declaredLength`, then `bodyStart`, then nothing until the client goes away
// (or release(), which closes the connection).
LoopbackResponse stallAfterHeadResponse(const std::string& declaredLength,
                                        std::string bodyStart = {});
// A 200 with the length of both parts: `first`, then nothing until release(), then `rest`.
LoopbackResponse pausedResponse(std::string first, std::string rest);
// Reads the request and sends nothing at all.
LoopbackResponse silentResponse();
// A status line, then nothing: the head never ends.
LoopbackResponse stallInHeadResponse();
LoopbackResponse dripResponse(std::string body, int intervalMs = 500);
LoopbackResponse hangupResponse();

class LoopbackServer {
  public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool listening() const { return listener_ != kNoSocket; }
    uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `target`.
    std::string url(const std::string& target) const;

    // Answers requests for exactly `target` (path and query as sent); others get a 404.
    void route(const std::string& target, LoopbackResponse response);

    struct Request {
        std::string target;
        std::string text;  // request line and header fields as received
    };
    std::vector<Request> requests() const;
    int requestCount(const std::string& target) const;
    // Connections whose handling has finished.
    int finishedConnections() const { return finished_.load(); }
    // Ends every stall, present and future: each sends its `rest` and closes.
    void release() { released_ = true; }

  private:
#ifdef _WIN32
    using SocketHandle = uintptr_t;
#else
    using SocketHandle = int;
#endif
    static constexpr SocketHandle kNoSocket = static_cast<SocketHandle>(-1);

    void acceptLoop();
    void serve(SocketHandle client);
    void reapFinished(bool all);

    SocketHandle listener_ = kNoSocket;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> released_{false};
    std::atomic<int> finished_{0};
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const LoopbackResponse>> routes_;
    std::vector<Request> requests_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Worker> workers_;
    std::thread acceptor_;
};

}  // namespace vx::test

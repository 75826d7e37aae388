#include "support/loopback_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>

namespace vx::test {

namespace {

#ifdef _WIN32
using Handle = SOCKET;
void closeSocket(Handle s) {
    closesocket(s);
}
constexpr int kNoSignal = 0;
constexpr int kShutWrite = SD_SEND;
#else
using Handle = int;
void closeSocket(Handle s) {
    ::close(s);
}
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutWrite = SHUT_WR;
#endif

// True when `s` has something to read (or was closed) within `ms`.
bool readable(Handle s, int ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    return ::select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &tv) > 0;
}

bool sendAll(Handle s, const char* data, size_t size) {
    while (size > 0) {
        int chunk = static_cast<int>(size > (1 << 20) ? (1 << 20) : size);
        int n = ::send(s, data, chunk, kNoSignal);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// True once the peer has closed its side (or the connection broke).
bool peerGone(Handle s) {
    if (!readable(s, 0))
        return false;
    char byte;
    return ::recv(s, &byte, 1, 0) <= 0;
}

std::string headWithLength(int status, const std::string& declared) {
    return "HTTP/1.0 " + std::to_string(status) +
           " Status\r\nContent-Type: application/octet-stream\r\n" +
           (declared.empty() ? std::string() : "Content-Length: " + declared + "\r\n") + "\r\n";
}

}  // namespace

LoopbackResponse okResponse(std::string body) {
    std::string length = std::to_string(body.size());
    return {LoopbackResponse::Kind::Fixed, headWithLength(200, length), std::move(body)};
}

LoopbackResponse responseWithLength(int status, const std::string& declared, std::string body) {
    return {LoopbackResponse::Kind::Fixed, headWithLength(status, declared), std::move(body)};
}

LoopbackResponse responseWithoutLength(std::string body) {
    return {LoopbackResponse::Kind::Fixed, headWithLength(200, ""), std::move(body)};
}

LoopbackResponse rawResponse(const std::string& headLines, std::string body) {
    return {LoopbackResponse::Kind::Fixed, headLines + "\r\n", std::move(body)};
}

LoopbackResponse chunkedResponse(const std::string& body) {
    char size[32];
    snprintf(size, sizeof size, "%zx", body.size());
    return {LoopbackResponse::Kind::Fixed, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
            std::string(size) + "\r\n" + body + "\r\n0\r\n\r\n"};
}

LoopbackResponse redirectResponse(int status, const std::string& location) {
    return {LoopbackResponse::Kind::Fixed,
            "HTTP/1.0 " + std::to_string(status) + " Moved\r\nLocation: " + location +
                "\r\nContent-Length: 0\r\n\r\n",
            {}};
}

LoopbackResponse endlessHeadResponse() {
    return {LoopbackResponse::Kind::EndlessHead, "HTTP/1.0 200 OK\r\n", {}};
}

LoopbackResponse stallAfterHeadResponse(const std::string& declaredLength, std::string bodyStart) {
    return {LoopbackResponse::Kind::StallAfterHead, headWithLength(200, declaredLength),
            std::move(bodyStart)};
}

LoopbackResponse pausedResponse(std::string first, std::string rest) {
    LoopbackResponse r{LoopbackResponse::Kind::StallAfterHead,
                       headWithLength(200, std::to_string(first.size() + rest.size())),
                       std::move(first)};
    r.rest = std::move(rest);
    return r;
}

LoopbackResponse silentResponse() {
    return {LoopbackResponse::Kind::StallAfterHead, {}, {}};
}

LoopbackResponse stallInHeadResponse() {
    return {LoopbackResponse::Kind::StallAfterHead, "HTTP/1.0 200 OK\r\n", {}};
}

LoopbackResponse dripResponse(std::string body, int intervalMs) {
    LoopbackResponse r{LoopbackResponse::Kind::Drip,
                       headWithLength(200, std::to_string(body.size())), std::move(body)};
    r.dripIntervalMs = intervalMs;
    return r;
}

LoopbackResponse hangupResponse() {
    return {LoopbackResponse::Kind::Hangup, {}, {}};
}

LoopbackServer::LoopbackServer() {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    Handle s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == static_cast<Handle>(kNoSocket))
        return;
    int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one), sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 128) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        closeSocket(s);
        return;
    }
    listener_ = static_cast<SocketHandle>(s);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    if (acceptor_.joinable())
        acceptor_.join();
    reapFinished(true);
    if (listener_ != kNoSocket)
        closeSocket(static_cast<Handle>(listener_));
#ifdef _WIN32
    WSACleanup();
#endif
}

std::string LoopbackServer::url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(port_) + target;
}

void LoopbackServer::route(const std::string& target, LoopbackResponse response) {
    std::lock_guard<std::mutex> lock(mutex_);
    routes_[target] = std::make_shared<const LoopbackResponse>(std::move(response));
}

std::vector<LoopbackServer::Request> LoopbackServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int LoopbackServer::requestCount(const std::string& target) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Request& r : requests_)
        n += r.target == target;
    return n;
}

void LoopbackServer::reapFinished(bool all) {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (all || it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void LoopbackServer::acceptLoop() {
    Handle listener = static_cast<Handle>(listener_);
    while (!stopping_) {
        reapFinished(false);
        if (!readable(listener, 50))
            continue;
        Handle client = ::accept(listener, nullptr, nullptr);
        if (client == static_cast<Handle>(kNoSocket))
            continue;
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back({std::thread([this, client, done] {
                                serve(static_cast<SocketHandle>(client));
                                ++finished_;
                                *done = true;
                            }),
                            done});
    }
}

void LoopbackServer::serve(SocketHandle handle) {
    Handle client = static_cast<Handle>(handle);
    int one = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    std::string request;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 && !stopping_ &&
           std::chrono::steady_clock::now() < deadline) {
        if (!readable(client, 50))
            continue;
        char chunk[4096];
        int n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        request.append(chunk, static_cast<size_t>(n));
        // A TLS greeting never ends in a blank line: it is answered at once, not after the wait.
        if (request[0] == '\x16')
            break;
    }
    std::string text = request.substr(0, request.find("\r\n\r\n"));
    std::string target;
    size_t first = text.find(' ');
    if (first != std::string::npos) {
        size_t second = text.find(' ', first + 1);
        target = text.substr(first + 1,
                             second == std::string::npos ? std::string::npos : second - first - 1);
    }
    // Shared, not copied: a route may hold a body of many megabytes.
    std::shared_ptr<const LoopbackResponse> routed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back({target, text});
        auto it = routes_.find(target);
        if (it != routes_.end())
            routed = it->second;
    }
    bool isHttp = !request.empty() && request[0] >= 'A' && request[0] <= 'Z';
    if (!isHttp)
        routed = std::make_shared<const LoopbackResponse>(hangupResponse());
    else if (!routed)
        routed =
            std::make_shared<const LoopbackResponse>(responseWithLength(404, "9", "not found"));
    const LoopbackResponse& response = *routed;

    auto waitWhileConnected = [&](int ms) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!stopping_ && std::chrono::steady_clock::now() < until) {
            if (peerGone(client))
                return false;
            if (!readable(client, 20))
                continue;
        }
        return !stopping_;
    };
    // True once the test releases the server; false when the client goes away or the server stops.
    auto holdUntilReleased = [&] {
        while (!stopping_ && !peerGone(client)) {
            if (released_)
                return true;
            readable(client, 20);
        }
        return false;
    };

    switch (response.kind) {
        case LoopbackResponse::Kind::Hangup:
            break;
        case LoopbackResponse::Kind::Fixed:
            if (sendAll(client, response.head.data(), response.head.size()))
                sendAll(client, response.body.data(), response.body.size());
            break;
        case LoopbackResponse::Kind::EndlessHead: {
            if (!sendAll(client, response.head.data(), response.head.size()))
                break;
            std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
            // A cap keeps a client that never gives up from filling memory on both sides.
            for (size_t sent = 0; sent < (size_t{2} << 20) && !stopping_; sent += line.size()) {
                if (!sendAll(client, line.data(), line.size()))
                    break;
            }
            break;
        }
        case LoopbackResponse::Kind::StallAfterHead:
            if (sendAll(client, response.head.data(), response.head.size()) &&
                sendAll(client, response.body.data(), response.body.size()) && holdUntilReleased())
                sendAll(client, response.rest.data(), response.rest.size());
            break;
        case LoopbackResponse::Kind::Drip:
            if (!sendAll(client, response.head.data(), response.head.size()))
                break;
            for (char byte : response.body) {
                if (!waitWhileConnected(response.dripIntervalMs))
                    break;
                if (!sendAll(client, &byte, 1))
                    break;
            }
            break;
    }
    ::shutdown(client, kShutWrite);
    // Let the client read to the end before the socket goes.
    for (int i = 0; i < 100 && !stopping_ && !peerGone(client); ++i)
        readable(client, 10);
    closeSocket(client);
}

}  // namespace vx::test

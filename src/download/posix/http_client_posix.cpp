#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "download/http_client.h"
#include "download/posix/http_protocol.h"

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;

class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Socket() { reset(); }
    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

enum class Wait { Ready, Timeout, Aborted, Error };

// Waits for `events` on `fd` until `deadline`, asking `abort` a few times a second.
Wait waitFor(int fd, short events, Clock::time_point deadline, const AbortCheck& abort) {
    constexpr auto kSlice = std::chrono::milliseconds(100);
    for (;;) {
        if (abort && abort())
            return Wait::Aborted;
        auto now = Clock::now();
        if (now >= deadline)
            return Wait::Timeout;
        auto slice = std::min<Clock::duration>(deadline - now, kSlice);
        int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count());
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, ms);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Error;
        }
        if (n > 0)
            return Wait::Ready;
    }
}

HttpError waitError(Wait w) {
    return w == Wait::Aborted   ? HttpError::Cancelled
           : w == Wait::Timeout ? HttpError::Timeout
                                : HttpError::Read;
}

Clock::time_point after(uint32_t ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

struct Connected {
    Socket socket;
    HttpError error = HttpError::None;
};

Connected connectTo(const HttpAddress& target, const HttpLimits& limits, const AbortCheck& abort) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string port = std::to_string(target.port);
    if (::getaddrinfo(target.host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
        return {Socket(), HttpError::Connect};
    Connected result{Socket(), HttpError::Connect};
    auto deadline = after(limits.connectTimeoutMs);
    for (addrinfo* a = found; a; a = a->ai_next) {
        Socket s(
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
        if (!s)
            continue;
        if (::connect(s.fd(), a->ai_addr, a->ai_addrlen) != 0) {
            if (errno != EINPROGRESS)
                continue;
            Wait w = waitFor(s.fd(), POLLOUT, deadline, abort);
            if (w != Wait::Ready) {
                result.error = w == Wait::Aborted   ? HttpError::Cancelled
                               : w == Wait::Timeout ? HttpError::Timeout
                                                    : HttpError::Connect;
                if (w == Wait::Aborted)
                    break;
                continue;
            }
            int soError = 0;
            socklen_t len = sizeof soError;
            if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0)
                continue;
        }
        int one = 1;
        ::setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // A receive buffer as large as the system allows: a fast sender then fills whole reads
        // instead of waking the reader for every few segments (large files at about 1.3 times
        // the speed, docs/bench-download.md).
        int receiveBuffer = 1 << 20;
        ::setsockopt(s.fd(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        result = {std::move(s), HttpError::None};
        break;
    }
    ::freeaddrinfo(found);
    return result;
}

HttpError sendAll(int fd, const std::string& bytes, const HttpLimits& limits,
                  const AbortCheck& abort) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return HttpError::Send;
        Wait w = waitFor(fd, POLLOUT, after(limits.idleTimeoutMs), abort);
        if (w != Wait::Ready)
            return w == Wait::Error ? HttpError::Send : waitError(w);
    }
    return HttpError::None;
}

class SocketTransfer final : public HttpTransfer {
  public:
    SocketTransfer(Socket socket, HttpResponseHead head, std::string early,
                   const HttpLimits& limits, AbortCheck abort)
        : socket_(std::move(socket)),
          head_(std::move(head)),
          early_(std::move(early)),
          limits_(limits),
          abort_(std::move(abort)),
          guard_(limits.lowSpeedWindowMs, limits.lowSpeedBytes) {}

    const HttpResponseHead& head() const override { return head_; }

    ReadResult read(char* buffer, std::size_t capacity) override {
        if (capacity == 0)
            return {ReadStatus::Data, 0, HttpError::None};
        if (earlyPos_ < early_.size()) {
            std::size_t n = std::min(capacity, early_.size() - earlyPos_);
            std::memcpy(buffer, early_.data() + earlyPos_, n);
            earlyPos_ += n;
            guard_.onBytes(n);
            return {ReadStatus::Data, n, HttpError::None};
        }
        auto idleDeadline = after(limits_.idleTimeoutMs);
        for (;;) {
            ssize_t n = ::recv(socket_.fd(), buffer, capacity, 0);
            if (n > 0) {
                if (!guard_.onBytes(static_cast<std::size_t>(n)))
                    return {ReadStatus::Failed, 0, HttpError::TooSlow};
                return {ReadStatus::Data, static_cast<std::size_t>(n), HttpError::None};
            }
            if (n == 0)
                return {ReadStatus::End, 0, HttpError::None};
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return {ReadStatus::Failed, 0, HttpError::Read};
            // Nothing for too long, or too little for too long, ends the transfer.
            Wait w =
                waitFor(socket_.fd(), POLLIN, std::min(idleDeadline, guard_.windowEnd()), abort_);
            if (w == Wait::Ready)
                continue;
            if (w == Wait::Timeout) {
                auto now = Clock::now();
                if (now >= guard_.windowEnd() && !guard_.onBytes(0, now))
                    return {ReadStatus::Failed, 0, HttpError::TooSlow};
                if (now >= idleDeadline)
                    return {ReadStatus::Failed, 0, HttpError::Timeout};
                continue;
            }
            return {ReadStatus::Failed, 0, waitError(w)};
        }
    }

  private:
    Socket socket_;
    HttpResponseHead head_;
    std::string early_;  // body bytes that arrived together with the head
    std::size_t earlyPos_ = 0;
    HttpLimits limits_;
    AbortCheck abort_;
    LowSpeedGuard guard_;
};

class PosixHttpClient final : public HttpClient {
  public:
    explicit PosixHttpClient(const HttpLimits& limits) : limits_(limits) {}

    HttpOpenResult open(const std::string& address, const AbortCheck& abort) override {
        std::string current = address;
        for (int hop = 0;; ++hop) {
            std::optional<HttpAddress> target = splitHttpAddress(current);
            // Checked again for every redirection: its target comes from the server.
            if (!target || !fitsRequestLine(*target))
                return {nullptr, HttpError::BadAddress, current};
            if (target->secure)
                return {nullptr, HttpError::UnsupportedScheme, current};
            Connected c = connectTo(*target, limits_, abort);
            if (c.error != HttpError::None)
                return {nullptr, c.error, target->host};
            HttpError sent = sendAll(c.socket.fd(), requestText(*target), limits_, abort);
            if (sent != HttpError::None)
                return {nullptr, sent, target->host};

            std::string received;
            std::size_t headEnd = std::string::npos;
            std::size_t bodyStart = 0;
            auto headDeadline = after(limits_.headTimeoutMs);
            char chunk[4096];
            while (headEnd == std::string::npos) {
                ssize_t n = ::recv(c.socket.fd(), chunk, sizeof chunk, 0);
                if (n > 0) {
                    std::size_t from = received.size() > 3 ? received.size() - 3 : 0;
                    received.append(chunk, static_cast<std::size_t>(n));
                    std::size_t crlf = received.find("\r\n\r\n", from);
                    std::size_t lf = received.find("\n\n", from);
                    if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
                        headEnd = crlf;
                        bodyStart = crlf + 4;
                    } else if (lf != std::string::npos) {
                        headEnd = lf;
                        bodyStart = lf + 2;
                    }
                    std::size_t headSize = headEnd == std::string::npos ? received.size() : headEnd;
                    if (headSize > limits_.maxHeadBytes)
                        return {nullptr, HttpError::HeadTooLarge, target->host};
                    continue;
                }
                if (n == 0)
                    return {nullptr, HttpError::Protocol, target->host};
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    return {nullptr, HttpError::Read, target->host};
                auto deadline = std::min(after(limits_.idleTimeoutMs), headDeadline);
                Wait w = waitFor(c.socket.fd(), POLLIN, deadline, abort);
                if (w != Wait::Ready)
                    return {nullptr, waitError(w), target->host};
            }
            ParsedResponseHead parsed =
                parseResponseHead(std::string_view(received).substr(0, headEnd));
            if (!parsed.ok)
                return {nullptr, HttpError::Protocol, target->host};
            int status = parsed.head.status;
            bool redirect =
                status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
            if (redirect && !parsed.locations.empty()) {
                if (hop >= limits_.maxRedirects)
                    return {nullptr, HttpError::TooManyRedirects, target->host};
                std::optional<std::string> next = resolveLocation(current, parsed.locations[0]);
                if (!next)
                    return {nullptr, HttpError::BadAddress, parsed.locations[0]};
                current = *next;
                continue;
            }
            return {std::make_unique<SocketTransfer>(std::move(c.socket), std::move(parsed.head),
                                                     received.substr(bodyStart), limits_, abort),
                    HttpError::None,
                    {}};
        }
    }

  private:
    HttpLimits limits_;
};

}  // namespace

std::unique_ptr<HttpClient> platformHttpClient(const HttpLimits& limits) {
    return std::make_unique<PosixHttpClient>(limits);
}

}  // namespace vx

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "download/http_client.h"

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;

class InternetHandle {
  public:
    explicit InternetHandle(HINTERNET h = nullptr) : handle_(h) {}
    ~InternetHandle() { reset(); }
    InternetHandle(InternetHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    InternetHandle& operator=(InternetHandle&&) = delete;
    HINTERNET get() const { return handle_; }
    void reset(HINTERNET h = nullptr) {
        if (handle_)
            InternetCloseHandle(handle_);
        handle_ = h;
    }

  private:
    HINTERNET handle_;
};

// A request handle that the watchdog and the transfer may both close: whoever comes first does,
// and the other finds it closed. Owned before anything that can throw, so no road leaks it.
class RequestHandle {
  public:
    RequestHandle() = default;
    ~RequestHandle() { close(); }
    RequestHandle(const RequestHandle&) = delete;
    RequestHandle& operator=(const RequestHandle&) = delete;
    void reset(HINTERNET h) {
        close();
        handle_ = h;
    }
    HINTERNET get() const { return handle_.load(); }
    void close() {
        if (HINTERNET h = handle_.exchange(nullptr))
            InternetCloseHandle(h);
    }

  private:
    std::atomic<HINTERNET> handle_{nullptr};
};

// WinINet's own time-outs cover a server that stays silent, not one that sends a byte now and
// then or header lines without end. The watchdog closes the request from its own thread when the
// session is cancelled, the head takes too long, or the body comes too slowly; closing the handle
// makes the blocked WinINet call return with a failure. One watchdog thread serves the whole
// pass, one request at a time: a thread per request cost more than many a small file.
class Watchdog {
  public:
    explicit Watchdog(const HttpLimits& limits) : limits_(limits) {
        thread_ = std::thread([this] { watch(); });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quitting_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Watches `request` from now on, in place of any earlier one; the head's deadline starts now.
    void begin(RequestHandle& request, AbortCheck abort) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            request_ = &request;
            abort_ = std::move(abort);
            headDeadline_ = Clock::now() + std::chrono::milliseconds(limits_.headTimeoutMs);
            inBody_ = false;
            readAllowance_ = Clock::duration::zero();
            verdict_ = HttpError::None;
        }
        // No wake-up: the watchdog looks every tick anyway, and a wake-up per request costs a
        // switch of threads per file.
    }

    // Ends the watch: the verdict is final, and the watchdog no longer touches the request.
    HttpError end() {
        std::lock_guard<std::mutex> lock(mutex_);
        request_ = nullptr;
        abort_ = nullptr;
        return verdict_.load();
    }

    void headArrived() {
        std::lock_guard<std::mutex> lock(mutex_);
        inBody_ = true;
        windowStart_ = Clock::now();
        windowBytes_ = 0;
    }
    // A read of `want` bytes that may wait for all of them (WinINet fills the buffer). Its bytes
    // show only when it returns, so the low-speed window is stretched to what a server that only
    // just keeps the limit needs for them, up to kMaxReadWindows: a body that was fast enough for
    // such a read and then drips is still ended, a few windows later.
    void readStarting(size_t want) {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint64_t bytes = std::max<uint64_t>(limits_.lowSpeedBytes, 1);
        const uint64_t windows = std::min<uint64_t>((want + bytes - 1) / bytes, kMaxReadWindows);
        readStart_ = Clock::now();
        readAllowance_ = std::chrono::milliseconds(limits_.lowSpeedWindowMs) * windows;
    }
    void received(size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        windowBytes_ += n;
        readAllowance_ = Clock::duration::zero();
    }
    // Why the watchdog closed the current request; None while it has not.
    HttpError verdict() const { return verdict_.load(); }

  private:
    static constexpr uint64_t kMaxReadWindows = 4;

    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!quitting_) {
            wake_.wait_for(lock, std::chrono::milliseconds(100));
            if (quitting_ || !request_)
                continue;
            HttpError why = HttpError::None;
            auto now = Clock::now();
            if (abort_ && abort_()) {
                why = HttpError::Cancelled;
            } else if (!inBody_ && now >= headDeadline_) {
                why = HttpError::Timeout;
            } else if (inBody_ &&
                       now >= windowStart_ + std::chrono::milliseconds(limits_.lowSpeedWindowMs)) {
                // A long read still out is judged once it is back or its allowance is spent.
                const bool readOut =
                    readAllowance_ != Clock::duration::zero() && now < readStart_ + readAllowance_;
                if (windowBytes_ >= limits_.lowSpeedBytes) {
                    windowStart_ = now;
                    windowBytes_ = 0;
                } else if (!readOut) {
                    why = HttpError::TooSlow;
                }
            }
            if (why != HttpError::None) {
                verdict_ = why;
                request_->close();
                request_ = nullptr;
                abort_ = nullptr;
            }
        }
    }

    HttpLimits limits_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quitting_ = false;
    RequestHandle* request_ = nullptr;
    AbortCheck abort_;
    Clock::time_point headDeadline_;
    bool inBody_ = false;
    Clock::time_point windowStart_;
    uint64_t windowBytes_ = 0;
    Clock::time_point readStart_;
    Clock::duration readAllowance_{};  // zero while no long read is out
    std::atomic<HttpError> verdict_{HttpError::None};
    std::thread thread_;
};

// Every value of one header, in order (the index walks repeated headers).
std::vector<std::string> headerValues(HINTERNET request, DWORD query) {
    std::vector<std::string> values;
    for (DWORD index = 0;;) {
        DWORD before = index;
        std::vector<char> buffer(32);
        DWORD length = static_cast<DWORD>(buffer.size());
        BOOL ok = HttpQueryInfoA(request, query, buffer.data(), &length, &index);
        if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && length < 65536) {
            buffer.assign(length + 1, 0);
            length = static_cast<DWORD>(buffer.size());
            index = before;
            ok = HttpQueryInfoA(request, query, buffer.data(), &length, &index);
        }
        if (!ok)
            break;
        values.emplace_back(buffer.data(), length);
        if (index == before)
            break;
    }
    return values;
}

class WinInetTransfer final : public HttpTransfer {
  public:
    WinInetTransfer(InternetHandle connection, std::unique_ptr<RequestHandle> request,
                    std::shared_ptr<Watchdog> watchdog, HttpResponseHead head)
        : connection_(std::move(connection)),
          request_(std::move(request)),
          watchdog_(std::move(watchdog)),
          head_(std::move(head)),
          bodyStart_(Clock::now()) {}
    // The watch ends before the request closes, and the request before its connection.
    ~WinInetTransfer() override { watchdog_->end(); }

    const HttpResponseHead& head() const override { return head_; }

    ReadResult read(char* buffer, std::size_t capacity) override {
        if (watchdog_->verdict() != HttpError::None)
            return {ReadStatus::Failed, 0, watchdog_->verdict()};
        // While the body comes fast enough that a whole chunk is there within kQuickChunk, one
        // call asks for the whole chunk: asking first what is there costs a call per few KB.
        // Otherwise asking first returns as soon as any byte arrived, so a slow body still
        // comes back piece by piece and the low-speed guard sees every piece. Only a body that
        // falls from that rate to below a chunk per few low-speed windows within one read can
        // be judged too slow where piecewise reads would have kept it.
        DWORD want = 0;
        const bool whole = fast(capacity);
        if (whole) {
            want = static_cast<DWORD>(std::min<std::size_t>(capacity, kMaxReadBytes));
            watchdog_->readStarting(want);
        } else {
            DWORD available = 0;
            if (!InternetQueryDataAvailable(request_->get(), &available, 0, 0))
                return failed();
            if (available == 0)
                return {ReadStatus::End, 0, HttpError::None};
            want = static_cast<DWORD>(std::min<std::size_t>(capacity, available));
        }
        const Clock::time_point started = Clock::now();
        DWORD count = 0;
        if (!InternetReadFile(request_->get(), buffer, want, &count))
            return failed();
        watchdog_->received(count);
        if (count == 0)
            return {ReadStatus::End, 0, HttpError::None};
        const Clock::time_point now = Clock::now();
        bodyBytes_ += count;
        // A whole-chunk read that took long means the body slowed: measure afresh from here.
        if (whole && now - started > kQuickChunk) {
            bodyStart_ = now;
            bodyBytes_ = 0;
        }
        return {ReadStatus::Data, count, HttpError::None};
    }

  private:
    static constexpr std::chrono::milliseconds kQuickChunk{50};
    static constexpr std::size_t kMaxReadBytes = 1u << 20;

    // The body so far arrived at a rate that fills `capacity` within kQuickChunk.
    bool fast(std::size_t capacity) const {
        if (bodyBytes_ == 0)
            return false;
        const auto elapsed = Clock::now() - bodyStart_;
        const auto forChunk = elapsed * static_cast<double>(capacity) / bodyBytes_;
        return forChunk <= kQuickChunk;
    }

    ReadResult failed() const {
        HttpError why = watchdog_->verdict();
        return {ReadStatus::Failed, 0, why != HttpError::None ? why : HttpError::Read};
    }

    InternetHandle connection_;
    std::unique_ptr<RequestHandle> request_;
    std::shared_ptr<Watchdog> watchdog_;
    HttpResponseHead head_;
    // The rate is measured from the head's arrival, waits included, so a body whose first byte
    // took long never counts as fast.
    Clock::time_point bodyStart_;
    uint64_t bodyBytes_ = 0;  // since bodyStart_
};

class WinInetClient final : public HttpClient {
  public:
    explicit WinInetClient(const HttpLimits& limits)
        : session_(InternetOpenA(kMediaAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)),
          limits_(limits) {
        if (session_.get())
            setTimeouts(session_.get());
    }

    HttpOpenResult open(const std::string& address, const AbortCheck& abort) override {
        if (!session_.get())
            return {nullptr, HttpError::NoSession, {}};
        URL_COMPONENTSA parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = 1;
        parts.dwHostNameLength = 1;
        parts.dwUrlPathLength = 1;
        if (!InternetCrackUrlA(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts) ||
            !parts.lpszHostName || parts.dwHostNameLength == 0)
            return {nullptr, HttpError::BadAddress, address};
        bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
        if (!secure && parts.nScheme != INTERNET_SCHEME_HTTP)
            return {nullptr, HttpError::BadAddress, address};
        std::string host(parts.lpszHostName, parts.dwHostNameLength);
        // The object runs from the path to the end of the address, without the fragment.
        std::string object;
        if (parts.lpszUrlPath)
            object = std::string(parts.lpszUrlPath);
        object = object.substr(0, object.find('#'));
        // As the engine names the file: a backslash in the path is the browser's slash.
        std::replace(object.begin(), object.end(), '\\', '/');
        if (object.empty() || object.front() != '/')
            object.insert(object.begin(), '/');
        // Nothing from a page may add a line to the request, whatever WinINet would make of it.
        HttpAddress target;
        target.host = host;
        target.object = object;
        if (!fitsRequestLine(target))
            return {nullptr, HttpError::BadAddress, address};

        InternetHandle connection(InternetConnectA(session_.get(), host.c_str(), parts.nPort, "",
                                                   "", INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection.get())
            return {nullptr, HttpError::Connect, host};
        DWORD flags =
            INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_NO_UI | (secure ? INTERNET_FLAG_SECURE : 0);
        // Declared before the watchdog, so it closes after the watchdog has stopped.
        auto request = std::make_unique<RequestHandle>();
        request->reset(HttpOpenRequestA(connection.get(), "GET", object.c_str(), "HTTP/1.0",
                                        nullptr, nullptr, flags, 0));
        if (!request->get())
            return {nullptr, HttpError::Connect, host};
        setTimeouts(request->get());
        if (!watchdog_)
            watchdog_ = std::make_shared<Watchdog>(limits_);
        std::shared_ptr<Watchdog> watchdog = watchdog_;
        watchdog->begin(*request, abort);
        // Whatever road leaves here without a transfer, the watch ends before the request closes.
        struct EndWatch {
            Watchdog* watchdog;
            ~EndWatch() {
                if (watchdog)
                    watchdog->end();
            }
        } endWatch{watchdog.get()};
        if (!HttpSendRequestA(request->get(), nullptr, 0, nullptr, 0)) {
            HttpError why = watchdog->end();
            return {nullptr, why != HttpError::None ? why : HttpError::Send, host};
        }
        // A head that took too long may still have arrived, but its request is closed.
        if (watchdog->verdict() != HttpError::None)
            return {nullptr, watchdog->end(), host};
        watchdog->headArrived();
        HttpResponseHead head;
        DWORD status = 0;
        DWORD length = sizeof status;
        if (!HttpQueryInfoA(request->get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                            &status, &length, nullptr))
            status = 0;
        head.status = static_cast<int>(status);
        head.contentLength = headerValues(request->get(), HTTP_QUERY_CONTENT_LENGTH);
        head.transferEncoding = headerValues(request->get(), HTTP_QUERY_TRANSFER_ENCODING);
        auto transfer = std::make_unique<WinInetTransfer>(std::move(connection), std::move(request),
                                                          std::move(watchdog), std::move(head));
        endWatch.watchdog = nullptr;  // the transfer ends the watch now
        return {std::move(transfer), HttpError::None, {}};
    }

  private:
    void setTimeouts(HINTERNET handle) const {
        DWORD connect = limits_.connectTimeoutMs;
        DWORD receive = limits_.idleTimeoutMs;
        InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
        InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
    }

    InternetHandle session_;
    HttpLimits limits_;
    std::shared_ptr<Watchdog> watchdog_;  // started with the first request
};

}  // namespace

std::unique_ptr<HttpClient> platformHttpClient(const HttpLimits& limits) {
    return std::make_unique<WinInetClient>(limits);
}

}  // namespace vx

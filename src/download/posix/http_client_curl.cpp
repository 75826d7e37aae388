// The native HTTP road over libcurl: https, proxies from the environment (http_proxy,
// https_proxy, no_proxy, as libcurl reads them) and the same decisions as the WinINet road. The
// pass pulls the body in chunks, so the transfer runs on a multi handle that is pumped only when
// the pass asks for more.

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "download/http_client.h"
#include "download/posix/http_protocol.h"

namespace vx {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(uint32_t ms) {
    return Clock::now() + std::chrono::milliseconds(ms);
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address as split, so that libcurl asks for exactly the object the WinINet road asks for
// (a backslash in the path read as a slash, no fragment).
std::string requestAddress(const HttpAddress& target) {
    std::string host =
        target.host.find(':') != std::string::npos ? "[" + target.host + "]" : target.host;
    return std::string(target.secure ? "https://" : "http://") + host + ":" +
           std::to_string(target.port) + target.object;
}

// One request on its own multi handle; the callbacks fill the head and the body buffer.
class CurlRequest {
  public:
    CurlRequest(const std::string& address, const HttpLimits& limits) : limits_(limits) {
        easy_ = curl_easy_init();
        multi_ = curl_multi_init();
        if (!easy_ || !multi_)
            return;
        curl_easy_setopt(easy_, CURLOPT_URL, address.c_str());
        // The object goes out as the address has it, as WinINet sends it: dot segments and all.
        curl_easy_setopt(easy_, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(easy_, CURLOPT_USERAGENT, kMediaAgent);
        curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(limits.connectTimeoutMs));
        // Redirections are followed by the client itself, so that every target is checked.
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, error_);
        if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle)
            curl_easy_setopt(easy_, CURLOPT_CAINFO, bundle);
        headers_ = curl_slist_append(nullptr, "Accept:");
        curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
        curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlRequest::onHeader);
        curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlRequest::onBody);
        curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        ready_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }
    ~CurlRequest() {
        if (multi_ && easy_)
            curl_multi_remove_handle(multi_, easy_);
        if (easy_)
            curl_easy_cleanup(easy_);
        if (multi_)
            curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    bool ready() const { return ready_; }
    bool headDone() const { return headDone_; }
    bool finished() const { return finished_; }
    const ParsedResponseHead& head() const { return head_; }
    std::string detail() const { return error_[0] ? error_ : curl_easy_strerror(result_); }

    // The error that ended the transfer, once finished.
    HttpError error() const {
        if (headTooLarge_)
            return HttpError::HeadTooLarge;
        switch (result_) {
            case CURLE_OK:
                return HttpError::None;
            case CURLE_UNSUPPORTED_PROTOCOL:
                return HttpError::UnsupportedScheme;
            case CURLE_URL_MALFORMAT:
                return HttpError::BadAddress;
            case CURLE_COULDNT_RESOLVE_PROXY:
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_CONNECT:
            case CURLE_SSL_CONNECT_ERROR:
            case CURLE_PEER_FAILED_VERIFICATION:
            case CURLE_SSL_CACERT_BADFILE:
                return HttpError::Connect;
            case CURLE_OPERATION_TIMEDOUT:
                return HttpError::Timeout;
            case CURLE_SEND_ERROR:
                return HttpError::Send;
            case CURLE_GOT_NOTHING:
            case CURLE_WEIRD_SERVER_REPLY:
                return HttpError::Protocol;
            default:
                return HttpError::Read;
        }
    }

    // Body bytes received and not yet taken.
    std::string& pending() { return body_; }
    std::size_t& taken() { return taken_; }

    // Lets libcurl work, waiting at most `until` for the socket; false on an abort.
    bool pump(Clock::time_point until, const AbortCheck& abort) {
        constexpr auto kSlice = std::chrono::milliseconds(100);
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            finish(CURLE_RECV_ERROR);
            return true;
        }
        collectDone();
        if (finished_ || (headDone_ && taken_ < body_.size()))
            return true;
        if (abort && abort())
            return false;
        auto now = Clock::now();
        if (now < until) {
            auto slice = std::min<Clock::duration>(until - now, kSlice);
            int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(slice).count());
            curl_multi_poll(multi_, nullptr, 0, ms, nullptr);
        }
        return !(abort && abort());
    }

    uint64_t receivedBytes() const { return received_; }

  private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self) {
        auto* r = static_cast<CurlRequest*>(self);
        std::size_t n = size * count;
        r->headBytes_ += n;
        if (r->headBytes_ > r->limits_.maxHeadBytes) {
            r->headTooLarge_ = true;
            return 0;
        }
        std::string_view line(data, n);
        if (line == "\r\n" || line == "\n") {
            ParsedResponseHead parsed = parseResponseHead(r->headText_);
            r->headText_.clear();
            r->headBytes_ = 0;
            // An interim answer (100 Continue) is followed by the real one.
            if (parsed.ok && parsed.head.status >= 100 && parsed.head.status < 200)
                return n;
            r->head_ = std::move(parsed);
            r->headDone_ = true;
            return n;
        }
        r->headText_.append(line);
        return n;
    }

    static size_t onBody(char* data, size_t size, size_t count, void* self) {
        auto* r = static_cast<CurlRequest*>(self);
        std::size_t n = size * count;
        if (r->taken_ == r->body_.size()) {
            r->body_.clear();
            r->taken_ = 0;
        }
        r->body_.append(data, n);
        r->received_ += n;
        return n;
    }

    void collectDone() {
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy_)
                finish(msg->data.result);
        }
    }

    void finish(CURLcode result) {
        finished_ = true;
        result_ = result;
    }

    HttpLimits limits_;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headers_ = nullptr;
    bool ready_ = false;
    char error_[CURL_ERROR_SIZE] = {};
    std::string headText_;
    std::size_t headBytes_ = 0;
    bool headTooLarge_ = false;
    bool headDone_ = false;
    ParsedResponseHead head_;
    std::string body_;
    std::size_t taken_ = 0;
    uint64_t received_ = 0;
    bool finished_ = false;
    CURLcode result_ = CURLE_OK;
};

class CurlTransfer final : public HttpTransfer {
  public:
    CurlTransfer(std::unique_ptr<CurlRequest> request, const HttpLimits& limits, AbortCheck abort)
        : request_(std::move(request)),
          limits_(limits),
          abort_(std::move(abort)),
          guard_(limits.lowSpeedWindowMs, limits.lowSpeedBytes) {}

    const HttpResponseHead& head() const override { return request_->head().head; }

    ReadResult read(char* buffer, std::size_t capacity) override {
        auto idleDeadline = after(limits_.idleTimeoutMs);
        for (;;) {
            std::string& pending = request_->pending();
            std::size_t& taken = request_->taken();
            if (taken < pending.size()) {
                std::size_t n = std::min(capacity, pending.size() - taken);
                std::memcpy(buffer, pending.data() + taken, n);
                taken += n;
                return {ReadStatus::Data, n, HttpError::None};
            }
            if (request_->finished()) {
                HttpError error = request_->error();
                if (error == HttpError::None)
                    return {ReadStatus::End, 0, HttpError::None};
                return {ReadStatus::Failed, 0, error};
            }
            uint64_t before = request_->receivedBytes();
            if (!request_->pump(std::min(idleDeadline, guard_.windowEnd()), abort_))
                return {ReadStatus::Failed, 0, HttpError::Cancelled};
            auto now = Clock::now();
            std::size_t arrived = static_cast<std::size_t>(request_->receivedBytes() - before);
            if (arrived > 0) {
                idleDeadline = after(limits_.idleTimeoutMs);
                if (!guard_.onBytes(arrived, now))
                    return {ReadStatus::Failed, 0, HttpError::TooSlow};
                continue;
            }
            // Nothing for too long, or too little for too long, ends the transfer.
            if (now >= guard_.windowEnd() && !guard_.onBytes(0, now))
                return {ReadStatus::Failed, 0, HttpError::TooSlow};
            if (now >= idleDeadline)
                return {ReadStatus::Failed, 0, HttpError::Timeout};
        }
    }

  private:
    std::unique_ptr<CurlRequest> request_;
    HttpLimits limits_;
    AbortCheck abort_;
    LowSpeedGuard guard_;
};

class CurlHttpClient final : public HttpClient {
  public:
    explicit CurlHttpClient(const HttpLimits& limits) : limits_(limits) { initCurlOnce(); }

    HttpOpenResult open(const std::string& address, const AbortCheck& abort) override {
        std::string current = address;
        for (int hop = 0;; ++hop) {
            std::optional<HttpAddress> target = splitHttpAddress(current);
            // Checked again for every redirection: its target comes from the server.
            if (!target || !fitsRequestLine(*target))
                return {nullptr, HttpError::BadAddress, current};
            auto request = std::make_unique<CurlRequest>(requestAddress(*target), limits_);
            if (!request->ready())
                return {nullptr, HttpError::NoSession, target->host};

            auto headDeadline = after(limits_.headTimeoutMs);
            auto idleDeadline = after(limits_.idleTimeoutMs);
            while (!request->headDone() && !request->finished()) {
                uint64_t before = request->receivedBytes();
                if (!request->pump(std::min(headDeadline, idleDeadline), abort))
                    return {nullptr, HttpError::Cancelled, target->host};
                auto now = Clock::now();
                if (request->receivedBytes() != before)
                    idleDeadline = after(limits_.idleTimeoutMs);
                if (!request->headDone() && !request->finished() &&
                    (now >= headDeadline || now >= idleDeadline))
                    return {nullptr, HttpError::Timeout, target->host};
            }
            if (!request->headDone()) {
                HttpError error = request->error();
                return {nullptr, error == HttpError::None ? HttpError::Protocol : error,
                        request->detail()};
            }
            const ParsedResponseHead& parsed = request->head();
            if (!parsed.ok)
                return {nullptr, HttpError::Protocol, target->host};
            if (isRedirect(parsed.head.status) && !parsed.locations.empty()) {
                if (hop >= limits_.maxRedirects)
                    return {nullptr, HttpError::TooManyRedirects, target->host};
                std::optional<std::string> next = resolveLocation(current, parsed.locations[0]);
                if (!next)
                    return {nullptr, HttpError::BadAddress, parsed.locations[0]};
                current = *next;
                continue;
            }
            return {std::make_unique<CurlTransfer>(std::move(request), limits_, abort),
                    HttpError::None,
                    {}};
        }
    }

  private:
    HttpLimits limits_;
};

}  // namespace

std::unique_ptr<HttpClient> platformHttpClient(const HttpLimits& limits) {
    return std::make_unique<CurlHttpClient>(limits);
}

}  // namespace vx

#pragma once
// The HTTP/1.0 client of the file pass: one GET per media address, the response status and
// length, then the body in chunks. On Windows WinINet stands behind it, natively a socket client
// that sends the same request and makes the same decisions.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Agent name of media requests.
inline constexpr const char* kMediaAgent = "Vexaro";

// Where an address is fetched from: its own scheme, host and port, and the object to ask for
// (path and query; a fragment belongs to the reader, not the server).
struct HttpAddress {
    bool secure = false;
    std::string host;  // without the brackets of an IPv6 literal
    uint16_t port = 80;
    std::string object = "/";

    friend bool operator==(const HttpAddress&, const HttpAddress&) = default;
};

// Splits an absolute "http:" or "https:" address (scheme in any case); nullopt for any other
// scheme, a missing host, or a port that is not a number from 1 to 65535.
std::optional<HttpAddress> splitHttpAddress(std::string_view address);

// False when the host or object holds a control byte, a blank or DEL: taken into the request
// as they are, they would end its line early and start lines of the address's own choosing.
// Such an address is never sent.
bool fitsRequestLine(const HttpAddress& target);

// Limits that keep one transfer from hanging the pass: a server that accepts and then stalls, or
// sends a byte now and then, or sends header lines without end.
struct HttpLimits {
    uint32_t connectTimeoutMs = 30000;
    uint32_t idleTimeoutMs = 30000;  // longest wait for any byte
    uint32_t headTimeoutMs = 60000;  // the whole status line and headers
    uint32_t maxHeadBytes = 64 * 1024;
    uint32_t lowSpeedWindowMs = 60000;  // the body must bring at least lowSpeedBytes per window
    uint32_t lowSpeedBytes = 1024;
    int maxRedirects = 10;
};

enum class HttpError {
    None,
    BadAddress,
    UnsupportedScheme,
    NoSession,
    Connect,
    Send,
    Timeout,
    TooSlow,
    HeadTooLarge,
    Protocol,
    TooManyRedirects,
    Cancelled,
    Read,
};

// A short English reason for a failed transfer, for logs, summaries and test messages.
const char* httpErrorText(HttpError error);

struct HttpResponseHead {
    int status = 0;
    std::vector<std::string> contentLength;     // every Content-Length value, in order
    std::vector<std::string> transferEncoding;  // every Transfer-Encoding value, in order
};

// A response head as received: the status line and header fields, up to (not including) the
// blank line. Lines may end in CRLF or LF; a line starting with a blank continues the last one.
struct ParsedResponseHead {
    HttpResponseHead head;
    std::vector<std::string> locations;  // every Location value, in order
    bool ok = false;                     // false when the status line is not "HTTP/x.y NNN"
};
ParsedResponseHead parseResponseHead(std::string_view text);

// How long the body is, by the response's own word.
enum class BodyLengthKind { Valid, Missing, Invalid };
struct BodyLength {
    BodyLengthKind kind = BodyLengthKind::Missing;
    uint64_t bytes = 0;
};

// Content-Length must be decimal digits only; repeated values (as separate headers or as a
// comma list) must agree. A body with a transfer coding other than "identity" has no usable
// length, whatever the headers say.
BodyLength bodyLength(const HttpResponseHead& head);

enum class ReadStatus { Data, End, Failed };
struct ReadResult {
    ReadStatus status = ReadStatus::Failed;
    std::size_t count = 0;
    HttpError error = HttpError::None;
};

// Asked between waits; true makes the transfer give up as soon as it can.
using AbortCheck = std::function<bool()>;

// One response: the head is read, the body follows in chunks.
class HttpTransfer {
  public:
    virtual ~HttpTransfer() = default;
    virtual const HttpResponseHead& head() const = 0;
    // Up to `capacity` bytes of the body; End when it is complete (the server closed).
    virtual ReadResult read(char* buffer, std::size_t capacity) = 0;
};

struct HttpOpenResult {
    std::unique_ptr<HttpTransfer> transfer;  // null when no response head was received
    HttpError error = HttpError::None;
    std::string detail;
};

// The internet session of one file pass.
class HttpClient {
  public:
    virtual ~HttpClient() = default;
    // Sends the GET for `address` and reads the response head, following redirections.
    virtual HttpOpenResult open(const std::string& address, const AbortCheck& abort) = 0;
};

// The platform's client (WinINet on Windows, sockets natively).
std::unique_ptr<HttpClient> platformHttpClient(const HttpLimits& limits = {});

}  // namespace vx

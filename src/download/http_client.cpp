#include "download/http_client.h"

#include <algorithm>
#include <charconv>

namespace vx {

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// Characters that end the authority part of an address.
bool endsAuthority(char c) {
    return c == '/' || c == '?' || c == '#' || c == '\\';
}

}  // namespace

std::optional<HttpAddress> splitHttpAddress(std::string_view address) {
    std::size_t colon = address.find("://");
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view scheme = address.substr(0, colon);
    HttpAddress target;
    if (equalsIgnoreCase(scheme, "http")) {
        target.secure = false;
        target.port = 80;
    } else if (equalsIgnoreCase(scheme, "https")) {
        target.secure = true;
        target.port = 443;
    } else {
        return std::nullopt;
    }
    std::string_view rest = address.substr(colon + 3);
    std::size_t end = 0;
    while (end < rest.size() && !endsAuthority(rest[end]))
        ++end;
    std::string_view authority = rest.substr(0, end);
    std::string_view tail = rest.substr(end);

    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority;
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return std::nullopt;
            port = after.substr(1);
        }
    } else {
        std::size_t portColon = authority.rfind(':');
        if (portColon != std::string_view::npos) {
            host = authority.substr(0, portColon);
            port = authority.substr(portColon + 1);
        }
    }
    if (host.empty())
        return std::nullopt;
    if (!port.empty()) {
        if (!isDigits(port) || port.size() > 5)
            return std::nullopt;
        unsigned value = 0;
        std::from_chars(port.data(), port.data() + port.size(), value);
        if (value == 0 || value > 65535)
            return std::nullopt;
        target.port = static_cast<uint16_t>(value);
    }
    target.host = std::string(host);

    std::size_t hash = tail.find('#');
    if (hash != std::string_view::npos)
        tail = tail.substr(0, hash);
    std::string object(tail);
    // A backslash in the path is the browser's way of writing a slash.
    for (char& c : object)
        if (c == '\\')
            c = '/';
    if (object.empty() || object.front() != '/')
        object.insert(object.begin(), '/');
    target.object = std::move(object);
    return target;
}

std::string requestText(const HttpAddress& target) {
    std::string host =
        target.host.find(':') != std::string::npos ? "[" + target.host + "]" : target.host;
    if (target.port != (target.secure ? 443 : 80))
        host += ":" + std::to_string(target.port);
    return "GET " + target.object + " HTTP/1.0\r\nUser-Agent: " + kMediaAgent +
           "\r\nHost: " + host + "\r\n\r\n";
}

bool fitsRequestLine(const HttpAddress& target) {
    auto fits = [](const std::string& text) {
        return std::none_of(text.begin(), text.end(), [](char c) {
            auto byte = static_cast<unsigned char>(c);
            return byte <= 0x20 || byte == 0x7F;
        });
    };
    return fits(target.host) && fits(target.object);
}

const char* describeHttpError(HttpError error) {
    switch (error) {
        case HttpError::None:
            return "no error";
        case HttpError::BadAddress:
            return "the address is not an absolute http or https address";
        case HttpError::UnsupportedScheme:
            return "https needs a TLS implementation, which this client does not have";
        case HttpError::NoSession:
            return "no internet session";
        case HttpError::Connect:
            return "the connection could not be made";
        case HttpError::Send:
            return "the request could not be sent";
        case HttpError::Timeout:
            return "the server did not answer in time";
        case HttpError::TooSlow:
            return "the server sent too little for too long";
        case HttpError::HeadTooLarge:
            return "the response headers are too large";
        case HttpError::Protocol:
            return "the response is not HTTP";
        case HttpError::TooManyRedirects:
            return "too many redirections";
        case HttpError::Cancelled:
            return "cancelled";
        case HttpError::Read:
            return "the response could not be read";
    }
    return "unknown error";
}

ParsedResponseHead parseResponseHead(std::string_view text) {
    ParsedResponseHead parsed;
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string_view line = text.substr(pos, nl == std::string_view::npos ? nl : nl - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!lines.empty() && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            lines.back() += " ";
            lines.back() += line;
        } else {
            lines.emplace_back(line);
        }
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    if (lines.empty())
        return parsed;
    std::string_view status = lines.front();
    // "HTTP/x.y NNN reason"
    if (!status.starts_with("HTTP/"))
        return parsed;
    std::size_t space = status.find(' ');
    if (space == std::string_view::npos || status.size() < space + 4)
        return parsed;
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (status[i] < '0' || status[i] > '9')
            return parsed;
        code = code * 10 + (status[i] - '0');
    }
    if (status.size() > space + 4 && status[space + 4] != ' ')
        return parsed;
    parsed.head.status = code;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view field = lines[i];
        std::size_t colon = field.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view name = field.substr(0, colon);
        std::string value(field.substr(colon + 1));
        if (equalsIgnoreCase(name, "content-length"))
            parsed.head.contentLength.push_back(std::move(value));
        else if (equalsIgnoreCase(name, "transfer-encoding"))
            parsed.head.transferEncoding.push_back(std::move(value));
        else if (equalsIgnoreCase(name, "location"))
            parsed.locations.push_back(std::move(value));
    }
    parsed.ok = true;
    return parsed;
}

BodyLength bodyLength(const HttpResponseHead& head) {
    for (const std::string& coding : head.transferEncoding) {
        if (!equalsIgnoreCase(trim(coding), "identity"))
            return {BodyLengthKind::Invalid, 0};
    }
    if (head.contentLength.empty())
        return {BodyLengthKind::Missing, 0};
    std::optional<uint64_t> agreed;
    for (const std::string& header : head.contentLength) {
        std::string_view rest = header;
        for (;;) {
            std::size_t comma = rest.find(',');
            std::string_view piece = trim(rest.substr(0, comma));
            // Nineteen digits always fit in 64 bits.
            if (!isDigits(piece) || piece.size() > 19)
                return {BodyLengthKind::Invalid, 0};
            uint64_t value = 0;
            std::from_chars(piece.data(), piece.data() + piece.size(), value);
            if (agreed && *agreed != value)
                return {BodyLengthKind::Invalid, 0};
            agreed = value;
            if (comma == std::string_view::npos)
                break;
            rest = rest.substr(comma + 1);
        }
    }
    return {BodyLengthKind::Valid, *agreed};
}

namespace {

// The parts of a reference by the pattern of RFC 3986, appendix B; a part that is absent differs
// from one that is present and empty.
struct ReferenceParts {
    std::optional<std::string_view> scheme;
    std::optional<std::string_view> authority;
    std::string_view path;
    std::optional<std::string_view> query;
    std::optional<std::string_view> fragment;
};

ReferenceParts splitReference(std::string_view text) {
    ReferenceParts parts;
    std::size_t delimiter = text.find_first_of(":/?#");
    if (delimiter != std::string_view::npos && delimiter > 0 && text[delimiter] == ':') {
        parts.scheme = text.substr(0, delimiter);
        text.remove_prefix(delimiter + 1);
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        std::size_t end = std::min(text.find_first_of("/?#"), text.size());
        parts.authority = text.substr(0, end);
        text.remove_prefix(end);
    }
    std::size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        parts.fragment = text.substr(hash + 1);
        text = text.substr(0, hash);
    }
    std::size_t question = text.find('?');
    if (question != std::string_view::npos) {
        parts.query = text.substr(question + 1);
        text = text.substr(0, question);
    }
    parts.path = text;
    return parts;
}

// RFC 3986 section 5.2.4.
std::string removeDotSegments(std::string_view input) {
    std::string output;
    auto dropLastSegment = [&output] {
        std::size_t slash = output.rfind('/');
        output.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            dropLastSegment();
        } else if (input == "/..") {
            input = "/";
            dropLastSegment();
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            std::size_t next = std::min(input.find('/', 1), input.size());
            output.append(input.substr(0, next));
            input.remove_prefix(next);
        }
    }
    return output;
}

// A backslash before the query is the browser's slash (as splitHttpAddress reads it).
std::string browserSlashes(std::string_view address) {
    std::string text(address);
    std::size_t end = std::min(text.find_first_of("?#"), text.size());
    std::replace(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), '\\', '/');
    return text;
}

bool isHttpScheme(std::string_view scheme) {
    return equalsIgnoreCase(scheme, "http") || equalsIgnoreCase(scheme, "https");
}

}  // namespace

std::optional<std::string> resolveLocation(std::string_view base, std::string_view location) {
    location = trim(location);
    // A redirection that names nothing leads nowhere (rather than back to itself).
    if (location.empty())
        return std::nullopt;
    const std::string baseText = browserSlashes(base);
    const std::string referenceText = browserSlashes(location);
    const ReferenceParts b = splitReference(baseText);
    const ReferenceParts r = splitReference(referenceText);
    if (!b.scheme || !b.authority || !isHttpScheme(*b.scheme))
        return std::nullopt;

    // RFC 3986 section 5.2.2, strict: a reference with a scheme stands on its own.
    std::string_view scheme = *b.scheme;
    std::optional<std::string_view> authority = b.authority;
    std::optional<std::string_view> query = r.query;
    std::string path;
    if (r.scheme) {
        scheme = *r.scheme;
        authority = r.authority;
        path = removeDotSegments(r.path);
    } else if (r.authority) {
        authority = r.authority;
        path = removeDotSegments(r.path);
    } else if (r.path.empty()) {
        path = b.path;
        if (!query)
            query = b.query;
    } else if (r.path.front() == '/') {
        path = removeDotSegments(r.path);
    } else {
        // Merged with the base path up to its last slash; a base without a path stands for "/".
        std::string merged = b.path.empty() ? std::string("/")
                                            : std::string(b.path.substr(0, b.path.rfind('/') + 1));
        merged += r.path;
        path = removeDotSegments(merged);
    }
    if (!isHttpScheme(scheme) || !authority)
        return std::nullopt;

    std::string target = std::string(scheme) + "://" + std::string(*authority) + path;
    if (query)
        target += "?" + std::string(*query);
    if (r.fragment)
        target += "#" + std::string(*r.fragment);
    if (!splitHttpAddress(target))
        return std::nullopt;
    return target;
}

LowSpeedGuard::LowSpeedGuard(uint32_t windowMs, uint32_t minBytes)
    : window_(windowMs), minBytes_(minBytes), windowStart_(Clock::now()) {}

bool LowSpeedGuard::onBytes(std::size_t n, Clock::time_point now) {
    if (now >= windowEnd()) {
        if (bytesInWindow_ + n < minBytes_)
            return false;
        windowStart_ = now;
        bytesInWindow_ = 0;
        return true;
    }
    bytesInWindow_ += n;
    return true;
}

}  // namespace vx

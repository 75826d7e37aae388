#include "download/http_client.h"

#include <algorithm>
#include <charconv>

#include "base/ascii.h"

namespace vx {

namespace {

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

bool fitsRequestLine(const HttpAddress& target) {
    auto fits = [](const std::string& text) {
        return std::none_of(text.begin(), text.end(), [](char c) {
            auto byte = static_cast<unsigned char>(c);
            return byte <= 0x20 || byte == 0x7F;
        });
    };
    return fits(target.host) && fits(target.object);
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

const char* httpErrorText(HttpError error) {
    switch (error) {
        case HttpError::None:
            return "no response";
        case HttpError::BadAddress:
            return "a bad address";
        case HttpError::UnsupportedScheme:
            return "an unsupported scheme";
        case HttpError::NoSession:
            return "no internet session";
        case HttpError::Connect:
            return "no connection";
        case HttpError::Send:
            return "the request could not be sent";
        case HttpError::Timeout:
            return "no answer in time";
        case HttpError::TooSlow:
            return "too slow";
        case HttpError::HeadTooLarge:
            return "response headers too large";
        case HttpError::Protocol:
            return "not an HTTP response";
        case HttpError::TooManyRedirects:
            return "too many redirections";
        case HttpError::Cancelled:
            return "cancelled";
        case HttpError::Read:
            return "the response could not be read";
    }
    return "an unknown error";
}

}  // namespace vx

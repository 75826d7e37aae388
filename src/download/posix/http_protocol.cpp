#include "download/posix/http_protocol.h"

#include <optional>
#include <string>

#include "base/ascii.h"

namespace vx {

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

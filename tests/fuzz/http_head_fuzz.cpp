// Feeds arbitrary bytes to the response head parser, the length rules and the resolution of
// redirection targets, and checks what each promises: a usable length is made of digits that
// agree, and a resolved target is an http address the client can split, that resolves to itself
// again, and keeps the origin asked for when the reference names none.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/http_client.h"
#include "download/posix/http_protocol.h"

namespace {

using vx::BodyLengthKind;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "http_head_fuzz: check failed: %s\n", what);
        std::abort();
    }
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The length rules worked out again the long way: every comma-separated piece of every
// Content-Length a number that fits, all the same; no transfer coding but "identity".
void checkLength(const vx::HttpResponseHead& head) {
    vx::BodyLength length = vx::bodyLength(head);
    bool coded = false;
    for (const std::string& coding : head.transferEncoding) {
        std::string_view c = trimmed(coding);
        coded |= !(c.size() == 8 && (c[0] | 0x20) == 'i' && (c[1] | 0x20) == 'd' &&
                   (c[2] | 0x20) == 'e' && (c[3] | 0x20) == 'n' && (c[4] | 0x20) == 't' &&
                   (c[5] | 0x20) == 'i' && (c[6] | 0x20) == 't' && (c[7] | 0x20) == 'y');
    }
    if (coded) {
        require(length.kind == BodyLengthKind::Invalid, "a coded body has no length");
        return;
    }
    if (head.contentLength.empty()) {
        require(length.kind == BodyLengthKind::Missing, "no header, no length");
        return;
    }
    bool usable = true;
    std::optional<std::string> agreed;  // without leading zeros
    for (const std::string& header : head.contentLength) {
        std::size_t from = 0;
        for (;;) {
            std::size_t comma = header.find(',', from);
            std::string_view piece = trimmed(std::string_view(header).substr(
                from, comma == std::string::npos ? std::string::npos : comma - from));
            if (!allDigits(piece) || piece.size() > 19) {
                usable = false;
                break;
            }
            std::string value(piece.substr(std::min(piece.find_first_not_of('0'), piece.size())));
            usable &= !agreed || *agreed == value;
            agreed = value;
            if (comma == std::string::npos)
                break;
            from = comma + 1;
        }
    }
    require((length.kind == BodyLengthKind::Valid) == usable, "length kind");
    if (usable)
        require(std::to_string(length.bytes) == (agreed->empty() ? "0" : *agreed),
                "length value is the digits");
}

// No "." or ".." segment is left in the path of a resolved target.
bool hasDotSegment(std::string_view object) {
    std::string_view path = object.substr(0, object.find('?'));
    std::size_t from = 0;
    while (from <= path.size()) {
        std::size_t slash = path.find('/', from);
        std::string_view segment = path.substr(
            from, slash == std::string_view::npos ? std::string_view::npos : slash - from);
        if (segment == "." || segment == "..")
            return true;
        if (slash == std::string_view::npos)
            break;
        from = slash + 1;
    }
    return false;
}

const char* const kBases[] = {
    "http://a/b/c/d;p?q",
    "https://user@[::1]:8443/dir\\sub/f.jpg?x=1#frag",
    "http://h",
};

void checkResolved(std::string_view base, std::string_view location) {
    std::optional<std::string> target = vx::resolveLocation(base, location);
    if (!target)
        return;
    std::optional<vx::HttpAddress> split = vx::splitHttpAddress(*target);
    require(split.has_value(), "a resolved target splits");
    require(!hasDotSegment(split->object), "no dot segments are left");
    for (const char* other : kBases)
        require(vx::resolveLocation(other, *target) == target, "a target resolves to itself");

    // A reference that starts with a query, a fragment or one slash keeps the origin.
    std::string_view r = trimmed(location);
    bool keepsOrigin =
        !r.empty() && (r[0] == '?' || r[0] == '#' ||
                       (r[0] == '/' && (r.size() < 2 || (r[1] != '/' && r[1] != '\\'))));
    if (!keepsOrigin)
        return;
    std::optional<vx::HttpAddress> from = vx::splitHttpAddress(base);
    require(from && split->secure == from->secure && split->host == from->host &&
                split->port == from->port,
            "same origin");
    if (r[0] == '#')
        require(split->object == from->object, "a fragment keeps the object");
    if (r[0] == '?')
        require(split->object.substr(0, split->object.find('?')) ==
                    from->object.substr(0, from->object.find('?')),
                "a query keeps the path");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    vx::ParsedResponseHead parsed = vx::parseResponseHead(text);
    if (parsed.ok) {
        require(text.starts_with("HTTP/"), "a head starts with the protocol name");
        require(parsed.head.status >= 0 && parsed.head.status <= 999, "three-digit status");
    } else {
        require(parsed.head.status == 0 && parsed.head.contentLength.empty() &&
                    parsed.head.transferEncoding.empty() && parsed.locations.empty(),
                "a refused head carries nothing");
    }
    checkLength(parsed.head);
    for (const std::string& location : parsed.locations)
        for (const char* base : kBases)
            checkResolved(base, location);
    // The first line on its own, as the value of a Location header.
    std::string_view firstLine = text.substr(0, text.find('\n'));
    for (const char* base : kBases)
        checkResolved(base, firstLine);
    return 0;
}

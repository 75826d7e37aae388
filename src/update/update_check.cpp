#include "update/update_check.h"

#include <charconv>

#include "app/window_list.h"
#include "base/string_table.h"
#include "resources/resource.h"

namespace vx {

namespace {

int digitAt(std::string_view text, size_t offset) {
    if (offset >= text.size())
        return 0;
    const char c = text[offset];
    return c >= '0' && c <= '9' ? c - '0' : 0;
}

// A decimal port of 1 to 65535, digits only.
std::optional<uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

}  // namespace

std::string versionText(const ProgramVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.build);
}

ProgramVersion parseVersionFile(std::string_view received) {
    return {digitAt(received, 0), digitAt(received, 2), digitAt(received, 4)};
}

bool isNewerVersion(const ProgramVersion& remote, const ProgramVersion& current) {
    if (remote.major != current.major)
        return remote.major > current.major;
    if (remote.minor != current.minor)
        return remote.minor > current.minor;
    return remote.build > current.build;
}

UpdateCheckResult judgeAnswer(int status, bool hasContentLength, std::string_view received) {
    if (status < 200 || status > 299 || !hasContentLength)
        return {UpdateCheckState::NoVersionInfo, {}};
    const ProgramVersion remote = parseVersionFile(received);
    if (isNewerVersion(remote))
        return {UpdateCheckState::NewerAvailable, remote};
    return {UpdateCheckState::Current, remote};
}

std::string informationText(const UpdateCheckResult& result) {
    switch (result.state) {
        case UpdateCheckState::Connecting:
            return stringText(IDS_UPDATE_CONNECTING);
        case UpdateCheckState::ConnectFailed:
            return stringText(IDS_UPDATE_NO_CONNECTION);
        case UpdateCheckState::NoVersionInfo:
            return stringText(IDS_UPDATE_NO_VERSION_INFO);
        case UpdateCheckState::Current:
            return stringText(IDS_UPDATE_LATEST_VERSION);
        case UpdateCheckState::NewerAvailable:
            return formatText(
                stringText(IDS_UPDATE_NEWER_VERSION),
                {std::to_string(result.remote.major), std::to_string(result.remote.minor),
                 std::to_string(result.remote.build)});
    }
    return {};
}

std::string hostOfAddress(std::string_view address) {
    const size_t scheme = address.find("://");
    if (scheme != std::string_view::npos)
        address.remove_prefix(scheme + 3);
    address = address.substr(0, address.find_first_of("/?#"));
    const size_t user = address.rfind('@');
    if (user != std::string_view::npos)
        address.remove_prefix(user + 1);
    if (address.starts_with('['))
        return std::string(address.substr(1, address.find(']') - 1));
    return std::string(address.substr(0, address.find(':')));
}

std::optional<UpdateServer> parseUpdateServer(std::string_view configured) {
    if (configured.empty())
        return UpdateServer{hostOfAddress(kHomePageAddress), 0};
    UpdateServer server;
    std::string_view rest;
    if (configured.starts_with('[')) {
        const size_t close = configured.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        server.host = configured.substr(1, close - 1);
        rest = configured.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':'))
            return std::nullopt;
    } else {
        const size_t colon = configured.find(':');
        server.host = configured.substr(0, colon);
        if (colon != std::string_view::npos)
            rest = configured.substr(colon);
        // A second colon would be an IPv6 address without its brackets.
        if (rest.find(':', 1) != std::string_view::npos)
            return std::nullopt;
    }
    if (server.host.empty() || server.host.find_first_of(" \t/\\@") != std::string::npos)
        return std::nullopt;
    if (!rest.empty()) {
        auto port = parsePort(rest.substr(1));
        if (!port)
            return std::nullopt;
        server.port = *port;
    }
    return server;
}

}  // namespace vx

#pragma once
// The update check without its window: where the update server is, what the version file says,
// whether that is newer than this program, and what the dialog shows for each outcome.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int build = 0;

    friend bool operator==(const ProgramVersion&, const ProgramVersion&) = default;
};

inline constexpr ProgramVersion kProgramVersion{1, 2, 0};

// The request for the version file.
inline constexpr char kUpdateAgent[] = "Norlume Vexaro";
inline constexpr char kVersionFileObject[] = "/quenta/download/curver.ini";
inline constexpr char kVersionFileHttpVersion[] = "HTTP/1.0";

// Only the first bytes of the version file are read: one digit each at offsets 0, 2 and 4.
inline constexpr size_t kVersionFileBytes = 5;

// "major.minor.build" in decimal.
std::string versionText(const ProgramVersion& version);

// The version in the first bytes of a version file. A character that is not a digit counts as 0,
// and so does one the file does not have.
ProgramVersion parseVersionFile(std::string_view received);

// Greater than `current` in the order major, minor, build.
bool isNewerVersion(const ProgramVersion& remote, const ProgramVersion& current = kProgramVersion);

enum class UpdateCheckState {
    Connecting,      // the request runs
    ConnectFailed,   // no session, connection or request could be made or sent
    NoVersionInfo,   // an answer that is no version file
    Current,         // this program is the newest
    NewerAvailable,  // `remote` is newer
};

struct UpdateCheckResult {
    UpdateCheckState state = UpdateCheckState::Connecting;
    ProgramVersion remote;

    friend bool operator==(const UpdateCheckResult&, const UpdateCheckResult&) = default;
};

// What an answer of the server means. Only a 2xx answer with a Content-Length is a version file
// (an error page of the server or of a proxy is not); `received` is what was read of its body.
UpdateCheckResult judgeAnswer(int status, bool hasContentLength, std::string_view received);

// The dialog's information text for `result`.
std::string informationText(const UpdateCheckResult& result);

struct UpdateServer {
    std::string host;
    uint16_t port = 0;  // 0: the default HTTP port

    friend bool operator==(const UpdateServer&, const UpdateServer&) = default;
};

// The host of an address such as "http://www.norlume.com/vexaro/", without port or user.
std::string hostOfAddress(std::string_view address);

// The server a configured value names: "host", "host:port", "[v6 address]" or
// "[v6 address]:port". An empty value names the product's own site (the host of its home page).
// Nothing for a value that names no server (a bad or zero port, an empty host).
std::optional<UpdateServer> parseUpdateServer(std::string_view configured);

}  // namespace vx

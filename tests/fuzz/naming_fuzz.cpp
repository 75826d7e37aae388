// Feeds arbitrary bytes as a media address to the file-name maker, under single-byte and
// double-byte rules, and checks on every input that the name is one safe entry of the save
// folder: never empty, never a device name, no separator, drive or stream colon, no control
// byte, no trailing dot or blank, not overlong, unchanged when made safe again, and joined to a
// folder it stays inside that folder.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/file_system.h"
#include "base/mbcs.h"
#include "download/naming.h"
#include "fuzz_check.h"

namespace {

void require(bool condition, const char* what) {
    vx::fuzz::require(condition, "naming_fuzz", what);
}

// The name both download roads give a file fetched from `address`.
std::string mediaName(std::string_view address) {
    return vx::mediaFileName(address);
}

// Windows opens a device for these names, whatever the case, the extension or blanks before it.
bool isDeviceName(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    std::string upper;
    for (char c : base)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    static constexpr std::array<std::string_view, 4> plain = {"CON", "PRN", "AUX", "NUL"};
    for (std::string_view device : plain) {
        if (upper == device)
            return true;
    }
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '1' && upper[3] <= '9';
}

bool isRefused(unsigned char c) {
    return c < 0x20 || c == '\\' || c == '/' || c == ':';
}

void checkName(const std::string& name, bool realText) {
    require(!name.empty(), "a name is never empty");
    require(name.size() <= 255, "a name fits one folder entry");
    require(!isDeviceName(name), "never a device name");
    require(name.back() != '.' && name.back() != ' ', "no trailing dot or blank");
    // Every byte that stands as a character of its own; with real double-byte text also every
    // trail byte, of which only '\' can be one of the refused.
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t step = vx::mbcs::charLength(name, pos);
        const auto c = static_cast<unsigned char>(name[pos]);
        if (step == 1) {
            require(!isRefused(c), "no separator, colon or control byte");
        } else if (realText) {
            const auto trail = static_cast<unsigned char>(name[pos + 1]);
            require(trail == '\\' || !isRefused(trail), "no refused trail byte");
        }
        pos += step;
    }
    require(vx::safeFileName(name) == name, "a safe name stays as it is");

    const std::string folder = std::string("fuzz") + vx::pathSeparator() + "save";
    const std::string path = vx::joinPath(folder, name);
    const std::string prefix = folder + vx::pathSeparator();
    require(path.starts_with(prefix), "the path starts with the folder");
    const std::string rest = path.substr(prefix.size());
    require(rest == name && rest != "." && rest != "..", "the entry is the name");
    require(rest.find('/') == std::string::npos, "no separator after the folder");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view address(reinterpret_cast<const char*>(data), size);
    vx::mbcs::useSingleByte();
    checkName(mediaName(address), true);
    vx::mbcs::useCodePage936();
    checkName(mediaName(address), vx::fuzz::trailBytesAreReal(address));
    vx::mbcs::useSingleByte();
    return 0;
}

#include "download/naming.h"

#include <array>
#include <string_view>

#include "base/mbcs.h"
#include "download/http_client.h"

namespace vx {

namespace {

// Room left for the variant number in a name that was cut to fit one folder entry.
constexpr std::size_t kMaxNameBytes = 230;
constexpr std::size_t kMaxKeptExtension = 16;

bool isRefusedByte(unsigned char c) {
    if (c < 0x20)
        return true;
    switch (c) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return true;
        default:
            return false;
    }
}

char asciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isReservedDeviceName(std::string_view name) {
    // Windows ignores an extension and trailing blanks when it matches device names.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.remove_suffix(1);
    std::string upper;
    for (char c : base)
        upper += asciiUpper(c);
    static constexpr std::array<std::string_view, 6> plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : plain) {
        if (upper == device)
            return true;
    }
    if (upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT"))) {
        unsigned char digit = static_cast<unsigned char>(upper[3]);
        // Digits, and the superscript digits of code page 1252, which Windows also reserves.
        return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

// The longest prefix of `text` of at most `maxBytes` that does not split a character.
std::string_view cutWhole(std::string_view text, std::size_t maxBytes) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t step = mbcs::charLength(text.data(), text.size(), pos);
        if (step == 0 || pos + step > maxBytes)
            break;
        pos += step;
    }
    return text.substr(0, pos);
}

// Position of the last `wanted` byte that stands as a character of its own (not the second byte
// of a double-byte character); npos when there is none.
std::size_t lastCharacter(std::string_view text, auto isWanted) {
    std::size_t found = std::string_view::npos;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t step = mbcs::charLength(text.data(), text.size(), pos);
        if (step == 1 && isWanted(text[pos]))
            found = pos;
        pos += step;
    }
    return found;
}

bool isSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

}  // namespace

std::string lastSegment(std::string_view text) {
    std::size_t slash = text.rfind('/');
    return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
}

std::string mediaFileName(std::string_view address) {
    if (std::optional<HttpAddress> target = splitHttpAddress(address))
        return safeFileName(lastSegment(target->object));
    return safeFileName(lastSegment(address.substr(0, address.find('#'))));
}

std::string safeFileName(std::string_view name) {
    std::string safe;
    safe.reserve(name.size());
    std::size_t pos = 0;
    while (pos < name.size()) {
        std::size_t step = mbcs::charLength(name.data(), name.size(), pos);
        if (step == 1 && isRefusedByte(static_cast<unsigned char>(name[pos]))) {
            safe += '_';
        } else {
            safe.append(name.substr(pos, step));
        }
        pos += step;
    }
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
        safe.pop_back();
    if (safe.empty())
        return std::string(kFallbackFileName);
    if (isReservedDeviceName(safe))
        safe.insert(safe.begin(), '_');
    if (safe.size() > kMaxNameBytes) {
        NameParts parts = splitName(safe);
        bool keepExtension = !parts.extension.empty() &&
                             parts.extension.size() <= kMaxKeptExtension &&
                             parts.extension.find(' ') == std::string::npos;
        if (keepExtension) {
            std::size_t room = kMaxNameBytes - parts.extension.size() - 1;
            safe = std::string(cutWhole(parts.stem, room)) + "." + parts.extension;
        } else {
            safe = std::string(cutWhole(safe, kMaxNameBytes));
        }
        while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
            safe.pop_back();
        if (safe.empty())
            return std::string(kFallbackFileName);
    }
    return safe;
}

NameParts splitName(std::string_view name) {
    std::size_t dot = lastCharacter(name, [](char c) { return c == '.'; });
    if (dot == std::string_view::npos)
        return {std::string(name), {}};
    return {std::string(name.substr(0, dot)), std::string(name.substr(dot + 1))};
}

std::string numberedName(const NameParts& parts, uint64_t n) {
    std::string name = parts.stem;
    if (n != 0)
        name += std::to_string(n);
    if (!parts.extension.empty())
        name += "." + parts.extension;
    // "com.mp3" numbered would be the device COM1: neutralised as a first name would be.
    if (n != 0 && isReservedDeviceName(name))
        name.insert(name.begin(), '_');
    return name;
}

bool makeUniquePath(FileSystem& files, std::string& path, uint64_t expectedSize) {
    std::size_t sep = lastCharacter(path, isSeparator);
    std::string folderPart = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    NameParts parts = splitName(std::string_view(path).substr(folderPart.size()));
    // The name as given may end in a dot; variant 0 is always the path itself.
    std::string candidate = path;
    for (uint64_t n = 1;; ++n) {
        std::optional<uint64_t> size = files.fileSize(candidate);
        if (!size) {
            path = candidate;
            return true;
        }
        if (*size == expectedSize) {
            path = candidate;
            return false;
        }
        candidate = folderPart + numberedName(parts, n);
    }
}

UniqueNamer::UniqueNamer(FileSystem& files) : files_(files) {}

std::string UniqueNamer::variant(const Family& fam, uint64_t n) {
    return n == 0 ? fam.name : numberedName(fam.parts, n);
}

std::string UniqueNamer::fold(std::string_view name) const {
    std::string key(name);
    if (!files_.namesIgnoreCase())
        return key;
    std::size_t pos = 0;
    while (pos < key.size()) {
        std::size_t step = mbcs::charLength(key, pos);
        if (step == 1 && key[pos] >= 'A' && key[pos] <= 'Z')
            key[pos] = static_cast<char>(key[pos] + 32);
        pos += step;
    }
    return key;
}

UniqueNamer::FolderState& UniqueNamer::folderState(const std::string& folder) {
    auto it = folders_.find(folder);
    if (it != folders_.end())
        return it->second;
    FolderState& state = folders_[folder];
    for (FolderEntry& entry : files_.listFolder(folder)) {
        state.sizes.emplace(fold(entry.name), entry.size);
    }
    return state;
}

void UniqueNamer::advance(FolderState& state, Family& fam) {
    for (;;) {
        auto it = state.sizes.find(fold(variant(fam, fam.nextFree)));
        if (it == state.sizes.end())
            return;
        if (it->second)
            fam.firstIndexBySize.try_emplace(*it->second, fam.nextFree);
        ++fam.nextFree;
    }
}

UniqueNamer::Family& UniqueNamer::family(FolderState& state, const std::string& name) {
    std::string key = fold(name);
    auto it = state.families.find(key);
    if (it != state.families.end())
        return it->second;
    Family& fam = state.families[key];
    fam.name = name;
    fam.parts = splitName(name);
    advance(state, fam);
    return fam;
}

UniqueNamer::Choice UniqueNamer::choose(const std::string& folder, const std::string& name,
                                        uint64_t size) {
    for (int attempt = 0;; ++attempt) {
        FolderState& state = folderState(folder);
        Family& fam = family(state, name);
        // Numbers are counted per family, but a free name keeps the spelling it was asked in.
        const std::string own =
            fam.nextFree == 0 ? name : numberedName(splitName(name), fam.nextFree);
        Choice free{true, joinPath(folder, own), fam.nextFree};
        auto same = fam.firstIndexBySize.find(size);
        if (same == fam.firstIndexBySize.end())
            return free;
        Choice skip{false, joinPath(folder, variant(fam, same->second)), same->second};
        // A skip rests on what was listed; it is confirmed before a file is dropped. When even a
        // fresh listing disagrees with the file itself (names the listing shows another way),
        // the file is saved under a new number rather than lost.
        if (files_.fileSize(skip.path) == size)
            return skip;
        if (attempt > 0)
            return free;
        folders_.erase(folder);
    }
}

void UniqueNamer::noteCreated(const std::string& folder, const std::string& name, uint64_t index,
                              uint64_t size) {
    FolderState& state = folderState(folder);
    Family& fam = family(state, name);
    state.sizes[fold(variant(fam, index))] = size;
    fam.firstIndexBySize.try_emplace(size, index);
    advance(state, fam);
}

void UniqueNamer::noteTaken(const std::string& folder, const std::string& name, uint64_t index) {
    FolderState& state = folderState(folder);
    Family& fam = family(state, name);
    std::string taken = variant(fam, index);
    std::optional<uint64_t> size = files_.fileSize(joinPath(folder, taken));
    state.sizes[fold(taken)] = size;
    if (size)
        fam.firstIndexBySize.try_emplace(*size, index);
    advance(state, fam);
}

SaveResult UniqueNamer::save(const std::string& folder, const std::string& name, uint64_t size,
                             const std::function<CreateOutcome(const std::string& path)>& create) {
    // Each conflict moves the family past one more taken name; this many in a row means the
    // folder is being filled as fast as we look.
    constexpr int kMaxConflicts = 1000;
    for (int conflicts = 0; conflicts < kMaxConflicts; ++conflicts) {
        Choice choice = choose(folder, name, size);
        if (!choice.isFree)
            return {SaveOutcome::Duplicate, choice.path};
        switch (create(choice.path)) {
            case CreateOutcome::Created:
                noteCreated(folder, name, choice.index, size);
                return {SaveOutcome::Saved, choice.path};
            case CreateOutcome::Failed:
                return {SaveOutcome::Failed, choice.path};
            case CreateOutcome::AlreadyExists:
                noteTaken(folder, name, choice.index);
                break;
        }
    }
    return {SaveOutcome::Failed, {}};
}

}  // namespace vx

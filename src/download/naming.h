#pragma once
// Where a media file lands in the save folder: its name from the address, made safe, and the
// numbered variant of that name when a different file already has it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "base/file_system.h"

namespace vx {

// Used when an address yields no usable name at all (it ends in "/", or only in dots).
inline constexpr std::string_view kFallbackFileName = "download";

// The part of `text` after its last "/"; the whole text when it has none.
std::string lastSegment(std::string_view text);

// `name` as a single entry of the save folder: characters that Windows refuses in names ("\",
// "/", ":", "*", "?", "\"", "<", ">", "|" and control bytes) become "_", trailing dots and blanks
// go, a reserved device name (CON, NUL, COM1, ...) gets a leading "_", an overlong name is cut
// (keeping a short extension), and an empty result becomes kFallbackFileName. Double-byte
// characters of the system code page are kept whole. The result never leaves the folder.
std::string safeFileName(std::string_view name);

// The name a media address is saved under, the same on the cache road and the HTTP road: the last
// segment of the object the HTTP road asks for (so a backslash in the path separates, as it does
// in the request), or of the address without its fragment when it is not an HTTP address; then
// made safe. A query stays part of the name.
std::string mediaFileName(std::string_view address);

// The file name split at its last ".": everything before it, and what follows it. A name
// without a dot is all stem.
struct NameParts {
    std::string stem;
    std::string extension;
};
NameParts splitName(std::string_view name);

// Variant `n` of a name: the name itself for 0, else stem, n in decimal, then "." and the
// extension when there is one ("photo.jpg" -> "photo2.jpg", "readme" -> "readme2").
std::string numberedName(const NameParts& parts, uint64_t n);

// The plain walk over the variants of the file name of `path`, one status query each: true with
// `path` naming a free variant, or false when a variant before the first free one has exactly
// `expectedSize` bytes (the file is already there). Dots in folder names take no part.
bool makeUniquePath(FileSystem& files, std::string& path, uint64_t expectedSize);

enum class SaveOutcome {
    Saved,      // a new file was created at `path`
    Duplicate,  // a file of that name family and of the same size is already there
    Failed,     // the destination could not be created or written
};

struct SaveResult {
    SaveOutcome outcome = SaveOutcome::Failed;
    std::string path;
};

// makeUniquePath for a whole session. Each folder is listed once and each name family is walked
// once; later files of the family cost constant work, so saving many files of one name stays
// linear. Every answer is the plain walk's answer: a skip is confirmed by one status query, and a
// name that turns out to be taken when it is created is learned and the choice made again.
class UniqueNamer {
  public:
    explicit UniqueNamer(FileSystem& files);

    struct Choice {
        bool isFree = false;  // false: a same-size file exists at `path`
        std::string path;
        uint64_t index = 0;  // the variant number of `path`
    };

    Choice choose(const std::string& folder, const std::string& name, uint64_t size);
    // `index` of the family of `name` now holds a file of `size` bytes made by this session.
    void noteCreated(const std::string& folder, const std::string& name, uint64_t index,
                     uint64_t size);
    // Creating variant `index` found the name taken by someone else.
    void noteTaken(const std::string& folder, const std::string& name, uint64_t index);

    // Chooses a name and lets `create` make the file there, retrying with the next choice while
    // `create` answers AlreadyExists.
    SaveResult save(const std::string& folder, const std::string& name, uint64_t size,
                    const std::function<CreateOutcome(const std::string& path)>& create);

  private:
    struct Family {
        std::string name;  // variant 0, exactly as given
        NameParts parts;
        uint64_t nextFree = 0;
        std::unordered_map<uint64_t, uint64_t> firstIndexBySize;
    };
    struct FolderState {
        std::unordered_map<std::string, std::optional<uint64_t>> sizes;  // folded name -> size
        std::unordered_map<std::string, Family> families;                // folded name -> family
    };

    static std::string variant(const Family& family, uint64_t n);
    std::string fold(std::string_view name) const;
    FolderState& folderState(const std::string& folder);
    Family& family(FolderState& state, const std::string& name);
    void advance(FolderState& state, Family& family);

    FileSystem& files_;
    std::unordered_map<std::string, FolderState> folders_;
};

}  // namespace vx

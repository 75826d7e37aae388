#pragma once
// The save folder as the file pass sees it: the current-folder change of a pass, the status of a
// candidate name, one listing per folder, and destinations that are only ever created new, so a
// file that appears between the choice of a name and the write is never overwritten.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/file_system.h"

namespace vx {

enum class CreateOutcome {
    Created,        // the file is new and holds exactly the bytes given
    AlreadyExists,  // something already has that name; nothing was touched
    Failed,         // any other failure; no partial file is left behind
};

class LocalFiles {
  public:
    virtual ~LocalFiles() = default;

    // Makes `folder` the process's current folder; false when it cannot (an empty text included).
    virtual bool enterFolder(const std::string& folder) = 0;

    // `path` made absolute against the current folder (the current folder itself for an empty
    // text), so that a relative save folder means one place before and after it is entered.
    virtual std::string fullPath(const std::string& path) = 0;

    // Size of whatever has that name: a file's size, 0 for a folder; nullopt when nothing by that
    // name can be seen (a path that cannot be examined counts as free).
    virtual std::optional<uint64_t> entrySize(const std::string& path) = 0;

    // Every entry of `folder` (the current folder for an empty text), folders with size 0.
    virtual std::vector<FolderEntry> listFolder(const std::string& folder) = 0;

    // Creates `path` only if nothing has that name yet, and writes `size` bytes into it.
    virtual CreateOutcome writeNewFile(const std::string& path, const char* data,
                                       uint64_t size) = 0;

    // True when two names that differ only in ASCII letter case name the same file.
    virtual bool namesIgnoreCase() const = 0;
};

// The platform's own save folder access.
LocalFiles& platformLocalFiles();

}  // namespace vx

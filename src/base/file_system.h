#pragma once
// The file services the engine needs, behind one port so the models run natively and on
// Windows alike. Paths are ANSI byte strings in the platform's own form.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx {

// Appends `name` to `folder` with the platform separator unless the folder is empty or
// already ends with one.
std::string joinPath(const std::string& folder, const std::string& name);

// The platform separator: '\' on Windows, '/' in native builds.
char pathSeparator();

// Whether the last character of `path` is the separator. Double-byte aware: the trail byte of a
// double-byte character is never taken for one.
bool endsWithSeparator(const std::string& path);

enum class CreateOutcome {
    Created,        // the file is new and holds exactly the bytes given
    AlreadyExists,  // something already has that name; nothing was touched
    Failed,         // any other failure; no partial file is left behind
};

struct FolderEntry {
    std::string name;  // bare name, without the folder
    bool isFolder = false;
    uint64_t size = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // Whole file as bytes; nullopt when it cannot be opened or read.
    virtual std::optional<std::string> readFile(const std::string& path) = 0;
    // Replaces the file (or creates it) with all bytes: they are written to a temporary file
    // beside it, which then takes its place. On any failure the old file is left as it was, no
    // temporary file remains, and `error` gets the platform's error code (Win32 GetLastError,
    // errno natively; never 0).
    virtual bool writeFile(const std::string& path, const std::string& bytes,
                           uint32_t* error = nullptr) = 0;
    // Appends to the file, creating it when missing. A failed or short append is cut back off,
    // so the file holds exactly what it held before.
    virtual bool appendFile(const std::string& path, const std::string& bytes,
                            uint32_t* error = nullptr) = 0;
    // One level only; true when the folder exists afterwards.
    virtual bool createFolder(const std::string& path, uint32_t* error = nullptr) = 0;
    virtual bool isFolder(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // Size of whatever has that name: a file's size, 0 for a folder; nullopt when nothing by that
    // name can be seen (a path that cannot be examined counts as free).
    virtual std::optional<uint64_t> fileSize(const std::string& path) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    // Entries of a folder (the current folder for an empty text; "." and ".." left out) in the
    // platform's listing order, folders with size 0.
    virtual std::vector<FolderEntry> listFolder(const std::string& path) = 0;

    // Makes `folder` the process's current folder; false when it cannot (an empty text included).
    virtual bool enterFolder(const std::string& folder) = 0;
    // `path` made absolute against the current folder (the current folder itself for an empty
    // text), so that a relative save folder means one place before and after it is entered.
    virtual std::string fullPath(const std::string& path) = 0;
    // Creates `path` only if nothing has that name yet, and writes `size` bytes into it, so a file
    // that appears between the choice of a name and the write is never overwritten.
    virtual CreateOutcome writeNewFile(const std::string& path, const char* data,
                                       uint64_t size) = 0;
    // True when two names that differ only in ASCII letter case name the same file.
    virtual bool namesIgnoreCase() const = 0;
};

// The process-wide implementation of the platform this build targets.
FileSystem& platformFileSystem();

}  // namespace vx

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
    virtual std::optional<uint64_t> fileSize(const std::string& path) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    // Entries of a folder ("." and ".." left out) in the platform's listing order.
    virtual std::vector<FolderEntry> listFolder(const std::string& path) = 0;
};

// The process-wide implementation of the platform this build targets.
FileSystem& platformFileSystem();

}  // namespace vx

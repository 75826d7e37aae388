#pragma once
// What the band hands to Vexaro: where to find the program, and the text of "cacheurl.xml".

#include <cstddef>
#include <optional>
#include <string>

namespace vx {

// The buffer the band reads InstallPath into.
inline constexpr std::size_t kInstallPathBytes = 260;

// The install folder from the bytes of the InstallPath value (`bytesRead` as the registry
// reported them). Only a string value shorter than the buffer that ends within what was read
// counts: a value of 260 bytes or more, or one without its NUL, is treated as missing, so
// nothing past what was read is ever taken. The text is used as stored, a trailing backslash
// included.
std::optional<std::string> installFolderFromValue(bool isString, const char* bytes,
                                                  std::size_t bytesRead);

// The program and the hand-over file inside the install folder: the folder, "\", the name.
std::string vexaroExecutablePath(const std::string& installFolder);
std::string handOverFilePath(const std::string& installFolder);

// "cacheurl.xml" as written through a text-mode stream: "\n" line ends (the stream stores CR LF),
// the address verbatim, no line end after the last tag.
std::string handOverText(const std::string& pageAddress);

// The bytes that text gives on disk under Windows.
std::string handOverBytes(const std::string& pageAddress);

}  // namespace vx

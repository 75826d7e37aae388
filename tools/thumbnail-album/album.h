#pragma once
// An album of one folder's pictures: a thumbnail of each JPEG, PNG, GIF and BMP file in the
// "thumbnails" folder beside them, and the page "album.htm" that shows the thumbnails, each
// linked to its picture, with the picture's name, pixel size and file size.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace album {

inline constexpr wchar_t kPageName[] = L"album.htm";
inline constexpr wchar_t kThumbnailFolder[] = L"thumbnails";
// Thumbnails fit in a square of this side; smaller pictures keep their size.
inline constexpr UINT kThumbnailSide = 160;

struct Picture {
    std::wstring name;
    uint64_t bytes = 0;
    UINT width = 0;
    UINT height = 0;
    // The thumbnail's name in the thumbnail folder; empty when the picture could not be read.
    std::wstring thumbnail;
};

// The names of the folder's picture files (not its subfolders), in the order a user sorts names.
std::vector<std::wstring> pictureNames(const std::wstring& folder);

// Makes the album of `folder` and gives the page's full path. Fails with the file system's code
// when the folder cannot be written, and with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when it
// holds no pictures; a picture that cannot be decoded is listed without a thumbnail.
HRESULT makeAlbum(const std::wstring& folder, std::wstring& page);

// The page's text for `pictures` of the folder named `title`, in UTF-8.
std::string pageText(const std::wstring& title, const std::vector<Picture>& pictures);

}  // namespace album

#include "album.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>

namespace album {

namespace {

using Microsoft::WRL::ComPtr;

const wchar_t* const kPictureExtensions[] = {L".jpg", L".jpeg", L".jpe", L".png", L".gif", L".bmp"};

HRESULT lastError() {
    const DWORD code = GetLastError();
    return code ? HRESULT_FROM_WIN32(code) : E_FAIL;
}

bool isPicture(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring extension = name.substr(dot);
    return std::any_of(
        std::begin(kPictureExtensions), std::end(kPictureExtensions),
        [&](const wchar_t* known) { return lstrcmpiW(known, extension.c_str()) == 0; });
}

std::wstring join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder + name;
    return folder + L'\\' + name;
}

std::string utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            nullptr, nullptr);
    return out;
}

std::string escapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

// A relative address for a file name: every byte outside the unreserved set percent-encoded,
// so names with spaces, '#', '%' or '?' still lead to their file.
std::string relativeAddress(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string sizeText(uint64_t bytes) {
    char buffer[64];
    if (bytes < 1024)
        std::snprintf(buffer, sizeof buffer, "%llu bytes", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(buffer, sizeof buffer, "%llu KB",
                      static_cast<unsigned long long>((bytes + 1023) / 1024));
    return buffer;
}

void fitThumbnail(UINT width, UINT height, UINT& outWidth, UINT& outHeight) {
    outWidth = width;
    outHeight = height;
    if (width <= kThumbnailSide && height <= kThumbnailSide)
        return;
    if (width >= height) {
        outWidth = kThumbnailSide;
        outHeight = std::max<UINT>(1, static_cast<UINT>(uint64_t{height} * kThumbnailSide / width));
    } else {
        outHeight = kThumbnailSide;
        outWidth = std::max<UINT>(1, static_cast<UINT>(uint64_t{width} * kThumbnailSide / height));
    }
}

// Decodes the first frame of `source` and writes it, scaled to fit, as a PNG file `target`.
HRESULT writeThumbnail(IWICImagingFactory* factory, const std::wstring& source,
                       const std::wstring& target, Picture& picture) {
    ComPtr<IWICBitmapDecoder> decoder;
    HRESULT hr = factory->CreateDecoderFromFilename(source.c_str(), nullptr, GENERIC_READ,
                                                    WICDecodeMetadataCacheOnDemand, &decoder);
    ComPtr<IWICBitmapFrameDecode> frame;
    if (SUCCEEDED(hr))
        hr = decoder->GetFrame(0, &frame);
    if (SUCCEEDED(hr))
        hr = frame->GetSize(&picture.width, &picture.height);
    if (FAILED(hr))
        return hr;
    if (picture.width == 0 || picture.height == 0)
        return WINCODEC_ERR_BADIMAGE;
    UINT width = 0;
    UINT height = 0;
    fitThumbnail(picture.width, picture.height, width, height);

    ComPtr<IWICBitmapScaler> scaler;
    ComPtr<IWICFormatConverter> converter;
    hr = factory->CreateBitmapScaler(&scaler);
    if (SUCCEEDED(hr))
        hr = scaler->Initialize(frame.Get(), width, height, WICBitmapInterpolationModeFant);
    if (SUCCEEDED(hr))
        hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr))
        hr = converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
    ComPtr<IWICStream> stream;
    if (SUCCEEDED(hr))
        hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(target.c_str(), GENERIC_WRITE);
    if (FAILED(hr))
        return hr;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> out;
    hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(&out, nullptr);
    if (SUCCEEDED(hr))
        hr = out->Initialize(nullptr);
    if (SUCCEEDED(hr))
        hr = out->SetSize(width, height);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (SUCCEEDED(hr))
        hr = out->SetPixelFormat(&format);
    if (SUCCEEDED(hr))
        hr = out->WriteSource(converter.Get(), nullptr);
    if (SUCCEEDED(hr))
        hr = out->Commit();
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    return hr;
}

bool folderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid())
            CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

}  // namespace

std::vector<std::wstring> pictureNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW(join(folder, L"*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isPicture(found.cFileName))
            names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return lstrcmpiW(a.c_str(), b.c_str()) < 0;
    });
    return names;
}

std::string pageText(const std::wstring& title, const std::vector<Picture>& pictures) {
    // The folder's own name heads the page; its whole path follows.
    std::wstring leaf = title;
    while (leaf.size() > 1 && (leaf.back() == L'\\' || leaf.back() == L'/'))
        leaf.pop_back();
    const size_t cut = leaf.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut + 1 < leaf.size())
        leaf = leaf.substr(cut + 1);
    const std::string heading = escapeHtml(utf8(leaf));
    const std::string path = escapeHtml(utf8(title));
    std::string page =
        "<!DOCTYPE html>\r\n"
        "<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>Thumbnail album - " +
        path +
        "</title>\r\n"
        "<style>\r\n"
        "body { font-family: Tahoma, Verdana, sans-serif; background: #f4f4f0; margin: 16px; }\r\n"
        "h1 { font-size: 18px; }\r\n"
        "ul { list-style: none; padding: 0; }\r\n"
        "li { display: inline-block; width: 184px; margin: 6px; padding: 8px; "
        "vertical-align: top; text-align: center; background: #fff; border: 1px solid #ccc; }\r\n"
        "li .frame { height: 164px; line-height: 164px; }\r\n"
        "li img { vertical-align: middle; border: 0; }\r\n"
        "li .name { font-weight: bold; word-wrap: break-word; }\r\n"
        "li .size { color: #555; font-size: 12px; }\r\n"
        "</style>\r\n</head>\r\n<body>\r\n<h1>" +
        heading + "</h1>\r\n<p>" + path + " &ndash; " + std::to_string(pictures.size()) +
        (pictures.size() == 1 ? " picture" : " pictures") + "</p>\r\n<ul>\r\n";
    for (const Picture& picture : pictures) {
        const std::string name = utf8(picture.name);
        const std::string link = escapeHtml(relativeAddress(name));
        page += "<li><div class=\"frame\"><a href=\"" + link + "\">";
        if (!picture.thumbnail.empty()) {
            const std::string thumb = escapeHtml(
                relativeAddress(utf8(std::wstring(kThumbnailFolder) + L"/" + picture.thumbnail)));
            page += "<img src=\"" + thumb + "\" alt=\"" + escapeHtml(name) + "\">";
        } else {
            page += "(no preview)";
        }
        page += "</a></div>\r\n<div class=\"name\"><a href=\"" + link + "\">" + escapeHtml(name) +
                "</a></div>\r\n<div class=\"size\">";
        if (picture.width && picture.height)
            page += std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", ";
        page += sizeText(picture.bytes) + "</div></li>\r\n";
    }
    page += "</ul>\r\n</body>\r\n</html>\r\n";
    return page;
}

HRESULT makeAlbum(const std::wstring& folder, std::wstring& page) {
    const std::vector<std::wstring> names = pictureNames(folder);
    if (names.empty())
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

    // Both places are made before any work, so a folder that cannot be written fails at once.
    const std::wstring thumbnails = join(folder, kThumbnailFolder);
    bool madeThumbnailFolder = false;
    if (!folderExists(thumbnails)) {
        if (!CreateDirectoryW(thumbnails.c_str(), nullptr))
            return GetLastError() == ERROR_ALREADY_EXISTS ? HRESULT_FROM_WIN32(ERROR_DIRECTORY)
                                                          : lastError();
        madeThumbnailFolder = true;
    }
    page = join(folder, kPageName);
    FileHandle file(CreateFileW(page.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const HRESULT hr = lastError();
        if (madeThumbnailFolder)
            RemoveDirectoryW(thumbnails.c_str());
        return hr;
    }

    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&factory));
    if (FAILED(hr))
        return hr;

    std::vector<Picture> pictures;
    for (const std::wstring& name : names) {
        Picture picture;
        picture.name = name;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(join(folder, name).c_str(), GetFileExInfoStandard, &data))
            picture.bytes = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        const std::wstring thumbnail = name + L".png";
        const std::wstring target = join(thumbnails, thumbnail);
        if (SUCCEEDED(writeThumbnail(factory.Get(), join(folder, name), target, picture))) {
            picture.thumbnail = thumbnail;
        } else {
            // A half-written thumbnail would show as a broken picture.
            DeleteFileW(target.c_str());
            picture.width = picture.height = 0;
        }
        pictures.push_back(std::move(picture));
    }

    const std::string text = pageText(folder, pictures);
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size())
        return lastError();
    return S_OK;
}

}  // namespace album

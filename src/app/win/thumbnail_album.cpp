#include "app/win/thumbnail_album.h"

#include <ole2.h>

#include <string>

#include "app/album_message.h"
#include "ui/com.h"
#include "ui/message_box.h"
#include "ui/text.h"

namespace vx {

const char kThumbnailCreatorClass[] = "ThumbnailCreator.Thumbnail";
const IID IID_IThumbnailAlbum = {
    0xFB0D9ED9, 0x02DA, 0x4943, {0x9A, 0xCF, 0xCB, 0x2F, 0x4C, 0xF3, 0x8C, 0xB4}};

namespace {

HRESULT classFromText(const char* text, CLSID& clsid) {
    const std::wstring wide = ui::toWide(text ? text : "");
    if (!wide.empty() && wide[0] == L'{')
        return CLSIDFromString(wide.c_str(), &clsid);
    return CLSIDFromProgID(wide.c_str(), &clsid);
}

HRESULT createAlbumComponent(const char* classText, ui::ComPtr<IThumbnailAlbum>& album) {
    CLSID clsid{};
    HRESULT hr = classFromText(classText, clsid);
    if (FAILED(hr))
        return hr;
    ui::ComPtr<IUnknown> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown,
                          reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    hr = OleRun(object.Get());
    if (FAILED(hr))
        return hr;
    return object->QueryInterface(IID_IThumbnailAlbum,
                                  reinterpret_cast<void**>(album.GetAddressOf()));
}

}  // namespace

void createThumbnailAlbum(HWND owner, const char* classText) {
    ui::ComPtr<IThumbnailAlbum> album;
    if (FAILED(createAlbumComponent(classText, album)) || !album) {
        ui::appMessageBox(kAlbumCreateFailed, MB_OK | MB_ICONEXCLAMATION, owner);
        return;
    }
    const HRESULT hr = album->CreateAlbum();
    if (FAILED(hr)) {
        const auto code = static_cast<uint32_t>(hr);
        ui::appMessageBox(albumFailureMessage(code, ui::systemErrorText(code)),
                          MB_OK | MB_ICONEXCLAMATION, owner);
    }
}

}  // namespace vx

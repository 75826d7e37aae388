#pragma once
// "&Create a Thumbnail Album..." and "&Album...": the album is made by an outside COM component,
// "ThumbnailCreator.Thumbnail"; this side creates it, runs its one operation and reports a
// failure.

#include <windows.h>
#include <oaidl.h>

namespace vx {

extern const char kThumbnailCreatorClass[];

// {FB0D9ED9-02DA-4943-9ACF-CB2F4CF38CB4}: the component's interface. Only the position of its
// first own operation binds: the eighth entry of the table, after IUnknown's and IDispatch's.
extern const IID IID_IThumbnailAlbum;
struct IThumbnailAlbum : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE CreateAlbum() = 0;
};

// Creates the component of `classText` ("{...}" or a ProgID), runs its operation and releases it;
// failures are shown in message boxes owned by `owner` with the exclamation icon.
void createThumbnailAlbum(HWND owner, const char* classText = kThumbnailCreatorClass);

}  // namespace vx

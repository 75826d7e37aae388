#pragma once
// The module of ThumbnailCreator.dll: its instance, its path and the count of objects and locks
// that keeps it loaded.

#include <windows.h>

#include <string>

namespace album {

HINSTANCE moduleInstance();
std::wstring modulePath();
void lockModule();
void unlockModule();

// {A4C7E2F8-51B3-4D96-8E0A-29F6B3D1C7E4}, the class "ThumbnailCreator.Thumbnail".
extern const CLSID CLSID_Thumbnail;
inline constexpr char kClsidText[] = "{A4C7E2F8-51B3-4D96-8E0A-29F6B3D1C7E4}";
inline constexpr char kProgId[] = "ThumbnailCreator.Thumbnail";
inline constexpr char kVersionedProgId[] = "ThumbnailCreator.Thumbnail.1";

}  // namespace album

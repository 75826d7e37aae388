#pragma once
// Module-wide state of Quenta.dll, declared once here for every file of the module.

#include <windows.h>

#include <string>

namespace quenta {

// {9C3E51A2-47D0-4B8E-9F61-2A7D05C3E814}
inline constexpr CLSID kClsidQuentaBar = {
    0x9C3E51A2, 0x47D0, 0x4B8E, {0x9F, 0x61, 0x2A, 0x7D, 0x05, 0xC3, 0xE8, 0x14}};
// {B05F7E3C-2D14-4A6B-8C93-61E2F0A4D7B5}
inline constexpr GUID kLibidQuenta = {
    0xB05F7E3C, 0x2D14, 0x4A6B, {0x8C, 0x93, 0x61, 0xE2, 0xF0, 0xA4, 0xD7, 0xB5}};
inline constexpr char kClsidText[] = "{9C3E51A2-47D0-4B8E-9F61-2A7D05C3E814}";
inline constexpr char kLibidText[] = "{B05F7E3C-2D14-4A6B-8C93-61E2F0A4D7B5}";

// The instance handle the module was loaded at (resources, window classes).
HINSTANCE moduleInstance();

// One count for live objects and server locks; the module may unload when it is 0.
void lockModule();
void unlockModule();
LONG moduleLockCount();

// Held while window classes are registered, so two threads of one process register each once.
class ModuleLock {
  public:
    ModuleLock();
    ~ModuleLock();
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};

}  // namespace quenta

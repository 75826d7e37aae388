#pragma once
// Module-wide state of the stand-in shell DLL, declared here once for every file of the module.

#include <windows.h>

#include <string>

namespace standin {

// Counts of live COM objects (class factories aside) and of LockServer(TRUE) calls; the DLL may
// unload when both are 0.
void objectCreated();
void objectDestroyed();
void lockModule(bool lock);
bool moduleInUse();

// The folder the DLL was loaded from, ending in '\'.
std::string moduleFolder();

}  // namespace standin

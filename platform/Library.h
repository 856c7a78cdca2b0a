// Loading a system library by name and looking up its exports. Names the
// platform provides itself ("ddraw.dll", the display library) resolve to
// built-in modules; any other name goes to dlopen exactly as given.
#pragma once

#include <string>

namespace platform {

using HMODULE = void*;

HMODULE LoadLibraryA(const char* name);
void* GetProcAddress(HMODULE module, const char* name);
bool FreeLibrary(HMODULE module);

// Makes a built-in module unloadable, as on a system without it (tests).
void SetBuiltinLibraryHiddenForTesting(const std::string& name, bool hidden);

}  // namespace platform

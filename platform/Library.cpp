#include "platform/Library.h"

#include <dlfcn.h>
#include <strings.h>

#include <atomic>
#include <cstring>

#include "platform/DDraw.h"

namespace platform {

namespace {
struct Export {
  const char* name;
  void* address;
};
struct BuiltinModule {
  const char* name;
  const Export* exports;
  std::atomic<bool> hidden{false};
};

const Export kDisplayExports[] = {
    {"DirectDrawEnumerateExA", reinterpret_cast<void*>(&DirectDrawEnumerateExA)},
    {"DirectDrawCreate", reinterpret_cast<void*>(&DirectDrawCreate)},
    {nullptr, nullptr},
};
BuiltinModule gDisplayModule{"ddraw.dll", kDisplayExports};
BuiltinModule* const kBuiltins[] = {&gDisplayModule};

BuiltinModule* FindBuiltin(const char* name) {
  for (BuiltinModule* m : kBuiltins)
    if (strcasecmp(m->name, name) == 0) return m;
  return nullptr;
}

BuiltinModule* AsBuiltin(HMODULE module) {
  for (BuiltinModule* m : kBuiltins)
    if (module == static_cast<void*>(m)) return m;
  return nullptr;
}
}  // namespace

HMODULE LoadLibraryA(const char* name) {
  if (!name || !*name) return nullptr;
  if (BuiltinModule* m = FindBuiltin(name)) return m->hidden.load() ? nullptr : static_cast<HMODULE>(m);
  return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) return nullptr;
  if (BuiltinModule* m = AsBuiltin(module)) {
    for (const Export* e = m->exports; e->name; ++e)
      if (std::strcmp(e->name, name) == 0) return e->address;
    return nullptr;
  }
  return dlsym(module, name);
}

bool FreeLibrary(HMODULE module) {
  if (!module) return false;
  if (AsBuiltin(module)) return true;
  return dlclose(module) == 0;
}

void SetBuiltinLibraryHiddenForTesting(const std::string& name, bool hidden) {
  if (BuiltinModule* m = FindBuiltin(name.c_str())) m->hidden.store(hidden);
}

}  // namespace platform

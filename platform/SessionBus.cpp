#include "platform/SessionBus.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace platform {

namespace {
constexpr const char* kAddressVariable = "DBUS_SESSION_BUS_ADDRESS";
}  // namespace

bool SessionBusMissing(const char* address, const char* runtimeDir) {
  if (address && *address) return false;
  if (!runtimeDir || !*runtimeDir) return true;
  struct stat st {};
  return stat((std::string(runtimeDir) + "/bus").c_str(), &st) != 0 || !S_ISSOCK(st.st_mode);
}

// An address of no known kind is refused before any connection is tried.
NoBusAutolaunch::NoBusAutolaunch() {
  if (SessionBusMissing(std::getenv(kAddressVariable), std::getenv("XDG_RUNTIME_DIR")))
    set_ = setenv(kAddressVariable, "disabled:", 1) == 0;
}

NoBusAutolaunch::~NoBusAutolaunch() {
  if (set_) unsetenv(kAddressVariable);
}

}  // namespace platform

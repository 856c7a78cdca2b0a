// The desktop session's message bus, as SDL's connection to it finds it.
#pragma once

namespace platform {

// True when the session gives no bus: no address, and no user bus socket in
// the runtime folder. The bus library would then start a bus daemon of its own.
bool SessionBusMissing(const char* address, const char* runtimeDir);

// While it lives, a process whose session gives no bus has connections to the
// session bus fail at once instead of starting a daemon: that costs a fifth of
// the saver's start, the daemon outlives the saver, and no screensaver service
// could be listening on it. The environment is as before once it ends.
class NoBusAutolaunch {
 public:
  NoBusAutolaunch();
  ~NoBusAutolaunch();
  NoBusAutolaunch(const NoBusAutolaunch&) = delete;
  NoBusAutolaunch& operator=(const NoBusAutolaunch&) = delete;

 private:
  bool set_ = false;
};

}  // namespace platform

#include "platform/ShellOpen.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <thread>

extern char** environ;

namespace platform {

namespace {

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  for (std::size_t i = 0; prefix[i]; ++i)
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

bool IsWebAddress(const std::string& address) {
  const std::size_t rest = StartsWithNoCase(address, "https://") ? 8 : StartsWithNoCase(address, "http://") ? 7 : 0;
  if (rest == 0 || address.size() == rest) return false;
  for (unsigned char c : address)
    if (c <= 32 || c == 127) return false;
  return true;
}

bool ShellOpen(const std::string& address) {
  if (!IsWebAddress(address)) return false;
  // posix_spawn, not fork: the process has other threads (frames, audio).
  // Its own session, so the opener outlives the saver untouched.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(address.c_str()), nullptr};
  pid_t opener = 0;
  const int rc = posix_spawnp(&opener, "xdg-open", &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return false;
  // Reaped in the background: the saver never waits for the browser.
  std::thread([opener] {
    while (waitpid(opener, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace platform

#include "shell/HostedRun.h"

#include <cerrno>
#include <cstdlib>

namespace shell {

namespace {

bool IsOption(const std::string& arg, const char* name) {
  return arg == std::string("-") + name || arg == std::string("--") + name;
}

}  // namespace

unsigned long ParseWindowId(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i == text.size() || text[i] == '-' || text[i] == '+') return 0;
  const char* begin = text.c_str() + i;
  char* end = nullptr;
  errno = 0;
  const unsigned long long id = std::strtoull(begin, &end, 0);
  // X resource ids have 29 bits.
  if (end == begin || *end != '\0' || errno == ERANGE || id > 0x1FFFFFFFULL) return 0;
  return static_cast<unsigned long>(id);
}

HostedRun FindHostedRun(const std::vector<std::string>& args, const char* xscreensaverWindow) {
  HostedRun run;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (IsOption(args[i], "window-id")) {
      run.hosted = true;
      run.preview = true;
      run.window = i + 1 < args.size() ? ParseWindowId(args[i + 1]) : 0;
      return run;
    }
  }
  // With or without --root: a host's variable means a host's window.
  if (xscreensaverWindow && *xscreensaverWindow) {
    run.hosted = true;
    run.window = ParseWindowId(xscreensaverWindow);
  }
  return run;
}

}  // namespace shell

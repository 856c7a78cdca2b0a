// Run mode under a desktop screensaver host: which window the host hands over.
// XScreenSaver, mate and xfce put it in XSCREENSAVER_WINDOW ("0x..." hex) and
// pass --root; a settings preview names it with --window-id, which wins.
#pragma once

#include <string>
#include <vector>

namespace shell {

struct HostedRun {
  bool hosted = false;        // draw into the host's window, not one of our own
  bool preview = false;       // named on the command line: a settings preview
  unsigned long window = 0;   // 0 when the text names no window
};

// args: the command line after the program's name; xscreensaverWindow: the
// variable's value, or null when it is not set. Options take one dash or two.
HostedRun FindHostedRun(const std::vector<std::string>& args, const char* xscreensaverWindow);

// "0x..." hex or decimal, blanks in front allowed; 0 for anything else.
unsigned long ParseWindowId(const std::string& text);

}  // namespace shell

// The program entry: picks the mode from the command line and runs it.
#pragma once

namespace shell {

// Always returns 0, whatever happened; only the list options
// (--xscreensaver-add, --xscreensaver-remove) report a failure with 1.
int RunEntry(int argc, char** argv);

}  // namespace shell

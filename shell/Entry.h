// The program entry: picks the mode from the command line and runs it.
#pragma once

namespace shell {

// Always returns 0, whatever happened.
int RunEntry(int argc, char** argv);

}  // namespace shell

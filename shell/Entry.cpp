#include "shell/Entry.h"

#include "shell/ModeSelection.h"

namespace shell {

int RunEntry(int argc, char** argv) {
  (void)SelectMode(argc > 1 ? argv[1] : "");
  return 0;
}

}  // namespace shell

// Which of the four screensaver modes a command line asks for.
#pragma once

#include <string>

namespace shell {

enum class SaverMode { Run, Configure, Preview, Password };

// Argument 1 upper-cased; shorter than 2 characters runs; one leading slash or
// minus is dropped; then the first letter alone decides.
SaverMode SelectMode(const std::string& argument1);

}  // namespace shell

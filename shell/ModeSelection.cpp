#include "shell/ModeSelection.h"

#include <cctype>

namespace shell {

SaverMode SelectMode(const std::string& argument1) {
  std::string s = argument1;
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (s.size() < 2) return SaverMode::Run;
  if (s[0] == '/' || s[0] == '-') s.erase(0, 1);
  switch (s[0]) {
    case 'P':
      return SaverMode::Preview;
    case 'C':
      return SaverMode::Configure;
    case 'S':
      return SaverMode::Run;
    case 'A':
      return SaverMode::Password;
    default:
      return SaverMode::Run;
  }
}

}  // namespace shell

// Case and blanks of ASCII text, as protocols and tables spell them; other
// bytes pass unchanged.
#pragma once

#include <string>
#include <string_view>

namespace bridge {

std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
std::string_view TrimAscii(std::string_view text);

}  // namespace bridge

// Text made safe for XML element content and attribute values.
#pragma once

#include <string>
#include <string_view>

namespace bridge {

std::string EscapeXml(std::string_view text);

}  // namespace bridge

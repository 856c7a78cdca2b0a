// Byte strings as the Qt windows show them: valid UTF-8 as such, any other
// bytes as Windows-1252, the same way the saver draws its texts.
#pragma once

#include <QString>
#include <string>

namespace platform {

QString QtText(const std::string& bytes);

}  // namespace platform

#include "platform/QtText.h"

#include "platform/FontCache.h"

namespace platform {

QString QtText(const std::string& bytes) {
  const std::vector<char32_t> points = DecodeText(bytes);
  return QString::fromUcs4(points.data(), static_cast<qsizetype>(points.size()));
}

}  // namespace platform

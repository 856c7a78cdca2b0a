#include "components/QtBitmap.h"

#include "framework/TPicture.h"

namespace components {

QImage ToQImage(const framework::TBitmap& bitmap) {
  if (bitmap.Empty()) return QImage();
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const std::uint32_t* from = bitmap.ScanLine(y);
    auto* to = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.Width(); ++x) to[x] = 0xFF000000u | (from[x] & 0xFFFFFFu);
  }
  return image;
}

QImage ResourceImage(std::string_view name) {
  framework::TPicture picture;
  if (!picture.LoadFromResource(name)) return QImage();
  return ToQImage(picture.Bitmap());
}

QImage BottomLeftKeyed(const QImage& bitmap) {
  if (bitmap.isNull()) return QImage();
  QImage keyed = bitmap.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = keyed.pixel(0, keyed.height() - 1) | 0xFF000000u;
  for (int y = 0; y < keyed.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(keyed.scanLine(y));
    for (int x = 0; x < keyed.width(); ++x)
      if ((line[x] | 0xFF000000u) == key) line[x] = 0;
  }
  return keyed;
}

}  // namespace components

// Bitmaps for the Qt-drawn controls of the library: the embedded pictures as
// Qt images, and the classic transparent drawing where the colour of the
// bottom-left pixel is not drawn.
#pragma once

#include <QImage>
#include <string_view>

#include "framework/TBitmap.h"

namespace components {

// An opaque copy of a framework bitmap.
QImage ToQImage(const framework::TBitmap& bitmap);
// An embedded picture (JPEG, GIF or BMP); a null image when it cannot be read.
QImage ResourceImage(std::string_view name);
// A copy in which every pixel of the bottom-left pixel's colour is fully
// transparent; a null image stays null.
QImage BottomLeftKeyed(const QImage& bitmap);

}  // namespace components

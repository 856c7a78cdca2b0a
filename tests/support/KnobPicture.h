// What a fader must show: its track with the knob's non-key pixels over it,
// the knob's left edge at knobX and its top at knobY (clipped to the track).
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace testing_support {

inline QImage FaderPicture(const QImage& track, const QImage& knob, int knobX, int knobY) {
  QImage expected = track.convertToFormat(QImage::Format_RGB32);
  const QRgb key = knob.pixel(0, knob.height() - 1);
  for (int y = 0; y < knob.height(); ++y)
    for (int x = 0; x < knob.width(); ++x) {
      const int tx = knobX + x, ty = knobY + y;
      if (tx < 0 || ty < 0 || tx >= expected.width() || ty >= expected.height()) continue;
      if (knob.pixel(x, y) != key) expected.setPixel(tx, ty, knob.pixel(x, y));
    }
  return expected;
}

// The widget's own picture, for comparing with FaderPicture.
inline QImage Grabbed(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

}  // namespace testing_support

#include "components/Whfader.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>

#include "components/QtBitmap.h"

namespace components {

TWHFADER::TWHFADER(QWidget* parent) : QWidget(parent) {
  resize(100, 100);
  // The whole area is painted from the buffer: nothing is erased behind it.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

TWHFADER::~TWHFADER() = default;

void TWHFADER::SetGround(const QImage& bitmap) {
  if (bitmap.isNull()) return;
  update();
  FGround = bitmap;
  resize(FGround.width(), FGround.height());
}

void TWHFADER::SetKnob(const QImage& bitmap) {
  if (bitmap.isNull()) return;
  update();
  FKnob = bitmap;
  FKnobKeyed = BottomLeftKeyed(bitmap);
}

void TWHFADER::SetValue(int value) {
  FValue = value;
  update();
}

void TWHFADER::paintEvent(QPaintEvent*) {
  if (FGround.isNull() || FKnob.isNull()) return;
  if (FBuffer.size() != size()) {
    // A new bitmap is black; beyond a smaller ground it stays so.
    FBuffer = QImage(size(), QImage::Format_RGB32);
    FBuffer.fill(Qt::black);
  }
  // 64-bit: SetValue takes any int, and the product must not overflow.
  const auto knobX = static_cast<int>(static_cast<std::int64_t>(width() - FKnob.width()) * FValue / 256);
  const int knobY = height() / 2 - FKnob.height() / 2 - 1;
  {
    QPainter buffer(&FBuffer);
    buffer.drawImage(0, 0, FGround);
    buffer.drawImage(knobX, knobY, FKnobKeyed);
  }
  QPainter(this).drawImage(0, 0, FBuffer);
}

void TWHFADER::mousePressEvent(QMouseEvent*) { FDragging = true; }

void TWHFADER::mouseReleaseEvent(QMouseEvent*) { FDragging = false; }

void TWHFADER::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragging) return;
  const int travel = FGround.width() - FKnob.width();
  if (travel <= 0) return;  // no bitmaps yet, or a knob as wide as the track
  const auto x = static_cast<std::int64_t>(event->position().toPoint().x());
  std::int64_t v = (x - FKnob.width() / 2) * 256 / travel;
  v = std::min<std::int64_t>(v, 256);
  update();
  FValue = static_cast<int>(std::max<std::int64_t>(v, 0));
  if (OnValueChanged) OnValueChanged(this);
}

}  // namespace components

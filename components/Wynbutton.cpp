#include "components/Wynbutton.h"

#include <QMouseEvent>
#include <QPainter>

#include "components/QtBitmap.h"

namespace components {

TWynbutton::TWynbutton(QWidget* parent) : QWidget(parent) {
  resize(100, 100);
  setFocusPolicy(Qt::NoFocus);
}

TWynbutton::~TWynbutton() = default;

void TWynbutton::Assign(QImage& field, QImage& keyed, const QImage& bitmap) {
  if (bitmap.isNull()) return;
  update();
  field = bitmap;
  keyed = BottomLeftKeyed(bitmap);
  resize(field.width(), field.height());
}

void TWynbutton::SetGround_on(const QImage& bitmap) { Assign(FGround_on, FKeyed_on, bitmap); }

void TWynbutton::SetGround_off(const QImage& bitmap) { Assign(FGround_off, FKeyed_off, bitmap); }

void TWynbutton::SetTransparent(bool transparent) {
  FTransparent = transparent;
  update();
}

void TWynbutton::paintEvent(QPaintEvent*) {
  if (FGround_on.isNull() || FGround_off.isNull()) return;
  const QImage& picture = FPressed ? (FTransparent ? FKeyed_on : FGround_on) : (FTransparent ? FKeyed_off : FGround_off);
  QPainter(this).drawImage(0, 0, picture);
}

void TWynbutton::mousePressEvent(QMouseEvent*) {
  update();
  FPressed = true;
}

void TWynbutton::mouseReleaseEvent(QMouseEvent*) {
  update();
  FPressed = false;
  // Last: the handler may close the form that owns this button.
  if (OnClick) OnClick(this);
}

}  // namespace components

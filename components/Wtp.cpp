#include "components/Wtp.h"

#include <QEvent>
#include <QPainter>
#include <QRegion>

namespace components {

namespace {

// One frame per pixel of width, top-left in top, bottom-right in bottom;
// each shrinks rect by one pixel all round.
void Frame3D(QPainter& painter, QRect& rect, const QColor& top, const QColor& bottom, int width) {
  for (; width > 0 && rect.width() > 0 && rect.height() > 0; --width) {
    painter.setPen(top);
    painter.drawLine(rect.left(), rect.bottom(), rect.left(), rect.top());
    painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    painter.setPen(bottom);
    painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    painter.drawLine(rect.right(), rect.bottom(), rect.left(), rect.bottom());
    rect.adjust(1, 1, -1, -1);
  }
}

}  // namespace

TWTP::TWTP(QWidget* parent) : QFrame(parent), FColor(palette().color(QPalette::Button)) {
  setFrameStyle(QFrame::NoFrame);
  setAutoFillBackground(false);
}

TWTP::~TWTP() = default;

void TWTP::SetColor(const QColor& color) {
  FColor = color;
  update();
}

void TWTP::AdjustColors(TPanelBevel bevel, QColor& top, QColor& bottom) const {
  top = palette().color(QPalette::Light);
  bottom = palette().color(QPalette::Dark);
  if (bevel == TPanelBevel::bvLowered) std::swap(top, bottom);
}

QRect TWTP::InnerRect(const QRect& client) const {
  int inset = BorderWidth;
  if (BevelOuter != TPanelBevel::bvNone) inset += BevelWidth;
  if (BevelInner != TPanelBevel::bvNone) inset += BevelWidth;
  return client.adjusted(inset, inset, -inset, -inset);
}

bool TWTP::CreateRegion(QWidget* c) {
  if (!c || !c->testAttribute(Qt::WA_WState_Created)) return false;
  std::lock_guard<std::mutex> lock(FLock);
  // A Qt widget's frame lies inside its own rectangle: the client offset is 0.
  QRegion region(0, 0, c->width(), c->height());
  const QRect inner = InnerRect(c->rect());
  if (inner.isValid()) region -= QRegion(inner);
  for (QObject* child : c->children())
    if (auto* control = qobject_cast<QWidget*>(child); control && !control->isWindow())
      region += QRegion(control->geometry());
  // Setting an equal mask again would only schedule another paint.
  if (c->mask() != region) c->setMask(region);
  return true;
}

void TWTP::SetTransparent(TMTransparent mode) {
  if (mode == FTransparent) return;
  const TMTransparent old = FTransparent;
  FTransparent = mode;
  if (old == TMTransparent::mtRegion) clearMask();
  if (mode == TMTransparent::mtRegion) CreateRegion(this);
  if (isVisible()) {
    hide();
    show();
  }
  update();
}

bool TWTP::event(QEvent* event) {
  if (event->type() == QEvent::Paint && FTransparent == TMTransparent::mtRegion) CreateRegion(this);
  return QFrame::event(event);
}

void TWTP::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRect rect = this->rect();
  QColor top, bottom;
  if (BevelOuter != TPanelBevel::bvNone) {
    AdjustColors(BevelOuter, top, bottom);
    Frame3D(painter, rect, top, bottom, BevelWidth);
  }
  Frame3D(painter, rect, FColor, FColor, BorderWidth);
  if (BevelInner != TPanelBevel::bvNone) {
    AdjustColors(BevelInner, top, bottom);
    Frame3D(painter, rect, top, bottom, BevelWidth);
  }
  // Only the plain panel fills its inside and shows its caption; the
  // see-through modes leave the parent's picture there.
  if (FTransparent != TMTransparent::mtNone) return;
  painter.fillRect(rect, FColor);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(this->rect(), Qt::AlignCenter, Caption);
}

}  // namespace components

#include "config/TLabel.h"

#include <QMouseEvent>

namespace config {

TLabel::TLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

void TLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FPressed = true;
  QLabel::mousePressEvent(event);
}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) FPressed = false;
  QLabel::mouseReleaseEvent(event);
  if (click && OnClick) OnClick(this);
}

}  // namespace config

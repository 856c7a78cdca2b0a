#include "config/TTabSheet.h"

#include <QShowEvent>

namespace config {

void TTabSheet::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Spontaneous shows are the window coming back from being minimised.
  if (!event->spontaneous() && OnShow) OnShow(this);
}

}  // namespace config

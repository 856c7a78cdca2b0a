#include "components/Wti.h"

#include <QPixmap>

namespace components {

TWTI::TWTI(QWidget* parent) : QLabel(parent) {}

TWTI::~TWTI() = default;

void TWTI::ShowPicture(const QImage& picture) {
  FPicture = picture;
  setPixmap(QPixmap::fromImage(picture));
}

void TWTI::SetImage1(const QImage& picture) {
  if (picture.isNull()) return;
  update();
  FImage1 = picture;
  ShowPicture(FImage1);
}

void TWTI::SetImage2(const QImage& picture) {
  if (picture.isNull()) return;
  update();
  FImage2 = picture;
}

void TWTI::SetNumberImage(int number) {
  if (number == FNumberImage) return;
  FNumberImage = number;
  if (number == 1) ShowPicture(FImage1);
  else if (number == 2) ShowPicture(FImage2);
}

}  // namespace components

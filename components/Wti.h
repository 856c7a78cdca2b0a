// TWTI: a picture control that holds two pictures and shows one of them.
// Assigning Image1 always shows it; NumberImage 1 or 2 picks the picture
// shown, and other numbers are kept without changing the screen.
#pragma once

#include <QImage>
#include <QLabel>
#include <string>

#include "framework/TComponent.h"

namespace components {

class TWTI : public QLabel, public framework::TObject {
 public:
  explicit TWTI(QWidget* parent = nullptr);
  ~TWTI() override;
  std::string ClassName() const override { return "TWTI"; }

  const QImage& GetImage1() const { return FImage1; }
  void SetImage1(const QImage& picture);
  const QImage& GetImage2() const { return FImage2; }
  void SetImage2(const QImage& picture);
  int GetNumberImage() const { return FNumberImage; }
  void SetNumberImage(int number);

  // The picture on screen.
  const QImage& Picture() const { return FPicture; }

 private:
  void ShowPicture(const QImage& picture);

  QImage FImage1;
  QImage FImage2;
  QImage FPicture;
  int FNumberImage = 1;
};

}  // namespace components

// TWynbutton: a push button drawn from two bitmaps, released (Ground_off) and
// pressed (Ground_on); its label is part of the pictures. Mouse only: it
// takes no keyboard focus, and releasing any button after a press on it
// clicks, wherever the pointer is by then.
#pragma once

#include <QImage>
#include <QWidget>
#include <string>

#include "framework/TComponent.h"

namespace components {

class TWynbutton : public QWidget, public framework::TObject {
 public:
  explicit TWynbutton(QWidget* parent = nullptr);
  ~TWynbutton() override;
  std::string ClassName() const override { return "TWynbutton"; }

  // Each sizes the control to its bitmap; a null image is ignored.
  const QImage& GetGround_on() const { return FGround_on; }
  void SetGround_on(const QImage& bitmap);
  const QImage& GetGround_off() const { return FGround_off; }
  void SetGround_off(const QImage& bitmap);
  // True draws both bitmaps without the colour of their bottom-left pixel,
  // so the form shows around the button's shape; false draws them whole again.
  bool GetTransparent() const { return FTransparent; }
  void SetTransparent(bool transparent);

  bool Pressed() const { return FPressed; }

  framework::TNotifyEvent OnClick;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Assign(QImage& field, QImage& keyed, const QImage& bitmap);

  QImage FGround_on, FKeyed_on;
  QImage FGround_off, FKeyed_off;
  bool FTransparent = false;
  bool FPressed = false;
};

}  // namespace components

// TWHFADER: a horizontal fader drawn from two bitmaps, a track (Ground) and a
// knob, dragged with the mouse. Value runs 0..256 from the left end to the
// right; the knob's centre follows the pointer while a button is held.
#pragma once

#include <QImage>
#include <QWidget>
#include <string>

#include "framework/TComponent.h"

namespace components {

class TWHFADER : public QWidget, public framework::TObject {
 public:
  explicit TWHFADER(QWidget* parent = nullptr);
  ~TWHFADER() override;
  std::string ClassName() const override { return "TWHFADER"; }

  // Assigning the track sizes the control to it; a null image is ignored.
  const QImage& GetGround() const { return FGround; }
  void SetGround(const QImage& bitmap);
  // Drawn with the colour of its bottom-left pixel left out; a null image is ignored.
  const QImage& GetKnob() const { return FKnob; }
  void SetKnob(const QImage& bitmap);
  // Stored as given: only dragging keeps it within 0..256.
  int GetValue() const { return FValue; }
  void SetValue(int value);

  bool Dragging() const { return FDragging; }
  // The off-screen picture of the last paint.
  const QImage& Buffer() const { return FBuffer; }

  // Fired on every move while dragging, changed value or not.
  framework::TNotifyEvent OnValueChanged;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QImage FGround;
  QImage FKnob;
  QImage FKnobKeyed;
  QImage FBuffer;
  int FValue = 256;
  bool FDragging = false;
};

}  // namespace components

// TWTP: a panel that can be see-through. mtTransparent leaves its background
// unpainted (only border and bevels are drawn, the parent shows inside);
// mtRegion cuts the widget down to its frame and its child controls with a
// widget mask, rebuilt whenever it paints.
#pragma once

#include <QColor>
#include <QFrame>
#include <QString>
#include <mutex>
#include <string>

#include "framework/TComponent.h"

namespace components {

enum class TMTransparent { mtNone = 0, mtTransparent = 1, mtRegion = 2 };
enum class TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TWTP : public QFrame, public framework::TObject {
 public:
  explicit TWTP(QWidget* parent = nullptr);
  ~TWTP() override;
  std::string ClassName() const override { return "TWTP"; }

  TMTransparent GetTransparent() const { return FTransparent; }
  void SetTransparent(TMTransparent mode);
  // Masks c to this panel's frame and c's children. False, changing nothing,
  // when c has no native window yet.
  bool CreateRegion(QWidget* c);
  // Button highlight over shadow; exchanged for a lowered bevel.
  void AdjustColors(TPanelBevel bevel, QColor& top, QColor& bottom) const;

  // The standard panel's settings.
  TPanelBevel BevelOuter = TPanelBevel::bvRaised;
  TPanelBevel BevelInner = TPanelBevel::bvNone;
  int BevelWidth = 1;
  int BorderWidth = 0;
  QString Caption;
  QColor Color() const { return FColor; }
  void SetColor(const QColor& color);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect InnerRect(const QRect& client) const;

  TMTransparent FTransparent = TMTransparent::mtNone;
  QColor FColor;
  std::mutex FLock;  // held while a region is built
};

}  // namespace components

// A text label of the dialog that can be clicked: a left-button press and
// release on it fire OnClick, as the framework's label does.
#pragma once

#include <QLabel>
#include <string>

#include "framework/TComponent.h"

namespace config {

class TLabel : public QLabel, public framework::TObject {
 public:
  explicit TLabel(const QString& text, QWidget* parent = nullptr);
  std::string ClassName() const override { return "TLabel"; }

  framework::TNotifyEvent OnClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool FPressed = false;
};

}  // namespace config

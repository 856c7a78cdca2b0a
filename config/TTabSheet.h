// One page of the dialog's page control. OnShow fires each time the page
// comes into view: when its tab is chosen, and for the first page when the
// dialog opens.
#pragma once

#include <QWidget>
#include <string>

#include "framework/TComponent.h"

namespace config {

class TTabSheet : public QWidget, public framework::TObject {
 public:
  explicit TTabSheet(QWidget* parent = nullptr) : QWidget(parent) {}
  std::string ClassName() const override { return "TTabSheet"; }

  framework::TNotifyEvent OnShow;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace config

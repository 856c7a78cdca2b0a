// TForm2: the configuration dialog. A Qt dialog with a fixed border, client
// area 539 x 576, made when the form is first shown: in run mode the form
// exists hidden and never builds its widgets.
#pragma once

#include <memory>

#include "framework/TForm.h"

class QDialog;

namespace config {

class TForm2 : public framework::TForm {
 public:
  explicit TForm2(framework::TComponent* AOwner);
  ~TForm2() override;
  std::string ClassName() const override { return "TForm2"; }

  static constexpr int kClientWidth = 539;
  static constexpr int kClientHeight = 576;

  // The dialog's widget, once shown (for tests).
  QDialog* Dialog() const { return FDialog; }

 protected:
  platform::WindowId CreateNativeWindow() override;
  void DestroyNativeWindow() override;
  void UpdateNativeWindow() override;
  void ShowNativeWindow(bool visible) override;

 private:
  QDialog* FDialog = nullptr;
};

extern TForm2* Form2;

}  // namespace config

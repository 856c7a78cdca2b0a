#include "config/Configuration.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace config {

TForm2* Form2 = nullptr;

namespace {
// Closing the dialog (title bar, Escape) closes the form, which ends the loop.
class ConfigurationDialog : public QDialog {
 public:
  explicit ConfigurationDialog(TForm2* form) : form_(form) {}
  void done(int result) override {
    QDialog::done(result);
    if (!form_->Closed()) form_->Close();
  }

 private:
  TForm2* form_;
};
}  // namespace

TForm2::TForm2(framework::TComponent* AOwner) : TForm(AOwner) {
  SetCaption("Screensaver Configuration");
  SetBorderStyle(framework::TFormBorderStyle::bsDialog);
  SetColor(0x857067);  // RGB(107,112,133) as 0x00BBGGRR
  SetBounds(0, 0, kClientWidth, kClientHeight);
}

TForm2::~TForm2() { DestroyNativeWindow(); }

platform::WindowId TForm2::CreateNativeWindow() {
  if (!QCoreApplication::instance()) return 0;  // no Qt in this mode
  FDialog = new ConfigurationDialog(this);
  FDialog->setWindowTitle(QString::fromLatin1(Caption().c_str()));
  FDialog->setFixedSize(kClientWidth, kClientHeight);
  QPalette palette = FDialog->palette();
  palette.setColor(QPalette::Window, QColor(107, 112, 133));
  FDialog->setPalette(palette);
  FDialog->setAutoFillBackground(true);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    FDialog->move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
  return reinterpret_cast<platform::WindowId>(FDialog);
}

void TForm2::DestroyNativeWindow() {
  delete FDialog;
  FDialog = nullptr;
}

void TForm2::UpdateNativeWindow() {
  if (FDialog) FDialog->setWindowTitle(QString::fromLatin1(Caption().c_str()));
}

void TForm2::ShowNativeWindow(bool visible) {
  if (visible && !FDialog) Handle();
  if (FDialog) FDialog->setVisible(visible);
}

}  // namespace config

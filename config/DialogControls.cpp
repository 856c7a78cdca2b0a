#include "config/DialogControls.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <exception>

#include "framework/TApplication.h"
#include "platform/MessageBox.h"

namespace config {

namespace {
QFont Font(const char* family, int pixels) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixels);
  return font;
}
}  // namespace

QFont VerdanaFont(int pixels, bool bold, bool underline) {
  QFont font = Font("Verdana", pixels);
  font.setBold(bold);
  font.setUnderline(underline);
  return font;
}

QFont SansSerifFont(int pixels) { return Font("MS Sans Serif", pixels); }

void SetTextColor(QWidget* control, const QColor& color) {
  QPalette palette = control->palette();
  palette.setColor(QPalette::WindowText, color);
  control->setPalette(palette);
}

QLabel* NewLabel(QWidget* parent, int left, int top, const QString& text, const QFont& font, const QColor& color) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  SetTextColor(label, color);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QCheckBox* NewCheckBox(QWidget* parent, int left, int top, int width, int height, const QString& text) {
  auto* box = new QCheckBox(text, parent);
  box->setFont(VerdanaFont(13));
  SetTextColor(box, kBlack);
  box->setGeometry(left, top, width, height);
  return box;
}

QLineEdit* NewEdit(QWidget* parent, int left, int top, int width, int height) {
  auto* edit = new QLineEdit(parent);
  edit->setFont(SansSerifFont(11));
  edit->setGeometry(left, top, width, height);
  return edit;
}

void RunHandler(const std::function<void()>& handler) {
  if (framework::Application) {
    framework::Application->Guarded(handler);
    return;
  }
  try {
    handler();
  } catch (const std::exception& e) {
    platform::ShowMessageBox(0, e.what(), "Error", platform::MB_OK | platform::MB_ICONERROR);
  }
}

}  // namespace config

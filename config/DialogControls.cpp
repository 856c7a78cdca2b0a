#include "config/DialogControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPalette>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>

#include "framework/TApplication.h"
#include "platform/MessageBox.h"
#include "platform/QtText.h"

namespace config {

namespace {
QFont Font(const char* family, int pixels) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixels);
  return font;
}

// Every entry of a drop-down list as tall as the form gives its item height.
class FixedHeightDelegate : public QStyledItemDelegate {
 public:
  FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
  }

 private:
  int height_;
};

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

QString FromBytes(const std::string& text) { return platform::QtText(text); }

std::string TextOf(const QLineEdit* edit, const std::string& putIn) {
  const QString text = edit->text();
  if (text == FromBytes(putIn)) return putIn;
  return text.toUtf8().toStdString();
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

QComboBox* NewComboBox(QWidget* parent, int left, int top, int width, int itemHeight) {
  auto* combo = new QComboBox(parent);
  combo->setFont(SansSerifFont(11));
  // Not sized to its contents: measuring 6,000 names would cost more than filling them.
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  auto* view = new QListView(combo);
  view->setUniformItemSizes(true);
  combo->setView(view);
  combo->setItemDelegate(new FixedHeightDelegate(itemHeight, combo));
  // A drop-down list's closed box is its item height and the frame around it.
  combo->setGeometry(left, top, width, itemHeight + 8);
  return combo;
}

QLabel* NewStaticText(QWidget* parent, int left, int top, int width, int height, const QString& text, const QFont& font,
                      const QColor& color) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  SetTextColor(label, color);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The form's box fits its text in the form's own face; a wider stand-in face
  // gets the lines it needs rather than losing the last words.
  label->setGeometry(left, top, width, std::max(height, label->heightForWidth(width)));
  return label;
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

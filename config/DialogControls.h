// The dialog's fonts and colours and the small builders its pages share: each
// control is placed at its left, top (and size) in its parent's pixels.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace config {

inline const QColor kFormColor(107, 112, 133);
inline const QColor kFormTextColor(89, 93, 114);
inline const QColor kBannerTextColor(200, 202, 210);
inline const QColor kBlack(0, 0, 0);

// Pixel sizes are em heights, as the form's font heights are given. Faces the
// machine lacks resolve to fontconfig's nearest match.
QFont VerdanaFont(int pixels, bool bold = false, bool underline = false);
QFont SansSerifFont(int pixels);

// A label sized to its text.
QLabel* NewLabel(QWidget* parent, int left, int top, const QString& text, const QFont& font, const QColor& color);
QCheckBox* NewCheckBox(QWidget* parent, int left, int top, int width, int height, const QString& text);
QLineEdit* NewEdit(QWidget* parent, int left, int top, int width, int height);
// A pick-only drop-down list whose entries are itemHeight pixels tall. Its
// size never depends on its entries, so filling it with thousands stays cheap.
QComboBox* NewComboBox(QWidget* parent, int left, int top, int width, int itemHeight);
// A fixed text: wrapped, top-left aligned, in the given box, made taller when
// the face the machine has needs more lines.
QLabel* NewStaticText(QWidget* parent, int left, int top, int width, int height, const QString& text, const QFont& font,
                      const QColor& color);
void SetTextColor(QWidget* control, const QColor& color);

// Texts are byte strings; the controls show them as UTF-8.
QString FromBytes(const std::string& text);
// The edit's text as typed; an untouched one gives back the bytes put in
// exactly, whatever their encoding.
std::string TextOf(const QLineEdit* edit, const std::string& putIn);

// Runs an event handler the way the application runs them: an exception
// that escapes is shown in the standard error box (Qt must never see one).
void RunHandler(const std::function<void()>& handler);

}  // namespace config

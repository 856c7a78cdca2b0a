// Mouse and key events handed straight to a widget, as the window system
// delivers them to the widget holding the pointer grab: positions outside
// the widget arrive unchanged.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace testing_support {

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons held) {
  QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

inline void Press(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
  SendMouse(w, QEvent::MouseButtonPress, at, b, b);
}
inline void MoveHeld(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::LeftButton) {
  SendMouse(w, QEvent::MouseMove, at, Qt::NoButton, held);
}
inline void Release(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
  SendMouse(w, QEvent::MouseButtonRelease, at, b, Qt::NoButton);
}
inline void Click(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
  Press(w, at, b);
  Release(w, at, b);
}

inline void SendKey(QWidget* widget, int key) {
  QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &down);
  QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(widget, &up);
}

}  // namespace testing_support

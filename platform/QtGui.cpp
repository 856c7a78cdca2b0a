#include "platform/QtGui.h"

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <QWidget>

#include "platform/QtText.h"

namespace platform {

QtGui::QtGui(int& argc, char** argv)
    : app_(std::make_unique<QApplication>(argc, argv)), timer_(std::make_unique<QTimer>()) {
  timer_->setSingleShot(true);
}

QtGui::~QtGui() {
  for (auto& [id, w] : windows_) delete w;
  timer_.reset();
  app_.reset();
}

WindowId QtGui::CreateWindow(const WindowOptions& options) {
  auto* w = new QWidget;
  const WindowId id = next_++;
  windows_[id] = w;
  SetWindowOptions(id, options);
  return id;
}

void QtGui::DestroyWindow(WindowId window) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  delete it->second;
  windows_.erase(it);
}

void QtGui::ShowWindow(WindowId window, bool visible) {
  if (auto it = windows_.find(window); it != windows_.end()) it->second->setVisible(visible);
}

void QtGui::SetWindowOptions(WindowId window, const WindowOptions& options) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return;
  QWidget* w = it->second;
  w->setWindowTitle(QtText(options.caption));
  if (options.width > 0 && options.height > 0) w->setGeometry(options.left, options.top, options.width, options.height);
  w->setWindowFlag(Qt::FramelessWindowHint, options.borderless);
}

bool QtGui::NextEvent(GuiEvent& event, int timeoutMs) {
  auto take = [&] {
    std::lock_guard<std::mutex> lock(mutex_);
    if (events_.empty()) return false;
    event = events_.front();
    events_.pop_front();
    return true;
  };
  if (take()) return true;
  if (timeoutMs > 0) {
    timer_->start(timeoutMs);  // bounds the wait
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    timer_->stop();
  } else {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
  return take();
}

void QtGui::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({GuiEvent::Type::Wake});
  }
  QMetaObject::invokeMethod(app_.get(), [] {}, Qt::QueuedConnection);
}

void QtGui::PostClose(WindowId window) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({GuiEvent::Type::Close, window});
  }
  QMetaObject::invokeMethod(app_.get(), [] {}, Qt::QueuedConnection);
}

void QtGui::ShowCursor(bool show) {
  if (show)
    QApplication::restoreOverrideCursor();
  else
    QApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
}

}  // namespace platform

// The configuration mode's window system on Qt: the GUI thread's loop is Qt's.
// Forms with their own Qt widgets (the dialog) manage
// their windows themselves; plain forms get a bare QWidget.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Gui.h"

class QApplication;
class QWidget;
class QTimer;

namespace platform {

class QtGui : public Gui {
 public:
  // Creates the Qt application object (argc/argv must outlive it); ask
  // DisplayProbe first.
  QtGui(int& argc, char** argv);
  ~QtGui() override;

  WindowId CreateWindow(const WindowOptions& options) override;
  void DestroyWindow(WindowId window) override;
  void ShowWindow(WindowId window, bool visible) override;
  void SetWindowOptions(WindowId window, const WindowOptions& options) override;
  bool NextEvent(GuiEvent& event, int timeoutMs) override;
  void Wake() override;
  void ShowCursor(bool show) override;

  // Lets a form's own widget post its close to the loop.
  void PostClose(WindowId window);

 private:
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<QTimer> timer_;
  std::map<WindowId, QWidget*> windows_;
  WindowId next_ = 1;
  std::mutex mutex_;
  std::deque<GuiEvent> events_;
};

}  // namespace platform

#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/QtText.h"

#include "platform/DisplayProbe.h"
#include "platform/ProcessWide.h"

namespace platform {

namespace {
ProcessWide<MessageBoxHandler> gHandler;
// Qt allows one application object at a time: boxes from two threads take
// turns. Recursive: a handler run inside a box's loop may show a box of its own.
std::recursive_mutex gQtBoxMutex;

int Record(const char* path, const std::string& text, const std::string& caption) {
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s|%s\n", caption.c_str(), text.c_str());
    std::fclose(f);
  }
  return IDOK;
}

void ExecBox(const std::string& text, const std::string& caption, unsigned flags) {
  QMessageBox box;
  box.setWindowTitle(QtText(caption));
  box.setText(QtText(text));
  box.setTextFormat(Qt::PlainText);
  if ((flags & 0xF0) == MB_ICONERROR) box.setIcon(QMessageBox::Critical);
  else if ((flags & 0xF0) == MB_ICONWARNING) box.setIcon(QMessageBox::Warning);
  else if ((flags & 0xF0) == MB_ICONINFORMATION) box.setIcon(QMessageBox::Information);
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  // Above a full-screen saver window, which may be stacked over everything.
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

int ShowWithQt(const std::string& text, const std::string& caption, unsigned flags) {
  std::lock_guard<std::recursive_mutex> lock(gQtBoxMutex);
  if (QCoreApplication* running = QCoreApplication::instance()) {
    // Widgets live on the application's thread only.
    if (!qobject_cast<QApplication*>(running) || QThread::currentThread() != running->thread())
      return MessageBoxToStderr(0, text, caption, flags);
    ExecBox(text, caption, flags);
    return IDOK;
  }
  auto probe = DisplayProbe::Connect();
  if (!probe) return MessageBoxToStderr(0, text, caption, flags);
  static int argc = 1;
  static char name[] = "brisvane";
  static char* argv[] = {name, nullptr};
  {
    QApplication app(argc, argv);
    probe.reset();
    ExecBox(text, caption, flags);
  }
  return IDOK;
}
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) { gHandler.Set(std::move(handler)); }

int MessageBoxToStderr(WindowId, const std::string& text, const std::string& caption, unsigned) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return IDOK;
}

int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, unsigned flags) {
  if (const char* log = std::getenv("BRISVANE_MESSAGEBOX_LOG"); log && *log) return Record(log, text, caption);
  if (MessageBoxHandler handler = gHandler.Get()) return handler(owner, text, caption, flags);
  return ShowWithQt(text, caption, flags);
}

}  // namespace platform

// The application object: forms, the GUI thread's message loop, idle and
// activation events, the standard exception display and the hand-over of work
// from other threads to the GUI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "framework/TForm.h"
#include "platform/Gui.h"

namespace framework {

// The framework's exception class: what handlers raise and the loop shows.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  virtual std::string ClassName() const { return "Exception"; }
  std::string Message() const { return what(); }
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
  std::string ClassName() const override { return "EConvertError"; }
};

// Signed decimal conversion; raises EConvertError "'text' is not a valid integer value".
int StrToInt(const std::string& text);

using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;

class TApplication : public TComponent {
 public:
  TApplication();
  ~TApplication() override;
  std::string ClassName() const override { return "TApplication"; }

  void Initialize();
  std::string Title;

  // Creates a form owned by the application; the first one becomes the main form.
  template <class F, class... Args>
  F* CreateForm(F** reference, Args&&... args) {
    F* form = new F(this, std::forward<Args>(args)...);
    if (reference) *reference = form;
    if (!FMainForm) FMainForm = form;
    return form;
  }
  TForm* MainForm() const { return FMainForm; }

  // Shows the main form and dispatches messages until it closes.
  void Run();
  // Dispatches every pending message once, without waiting.
  void ProcessMessages();
  void Terminate() { FTerminated.store(true); }
  bool Terminated() const { return FTerminated.load(); }

  // Runs fn on the GUI thread and waits for it. Returns false, without running
  // it, when cancel becomes true first (a thread asked to stop must not wait
  // for a loop that is itself waiting for the thread).
  bool Synchronize(const std::function<void()>& fn, const std::atomic<bool>* cancel = nullptr);
  // Wakes Synchronize callers so they look at their cancel flag again.
  void WakeWaiters();
  bool OnGuiThread() const { return std::this_thread::get_id() == FGuiThread; }

  // Shows an exception in the standard error message box.
  void ShowException(const std::exception& e);
  // Runs a handler; an exception that escapes it is shown and the loop goes on.
  void Guarded(const std::function<void()>& handler);

  TIdleEvent OnIdle;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  // Counted for tests: every turn of ProcessMessages.
  std::atomic<long> ProcessMessagesCount{0};

  // Forms register their native windows so events reach them.
  void RegisterWindow(platform::WindowId id, TForm* form);
  void UnregisterWindow(platform::WindowId id);

 private:
  struct Call;
  void Dispatch(const platform::GuiEvent& event);
  void RunCalls();
  void Idle();

  TForm* FMainForm = nullptr;
  std::atomic<bool> FTerminated{false};
  std::thread::id FGuiThread;
  std::unordered_map<platform::WindowId, TForm*> FWindows;
  std::mutex FCallMutex;
  std::condition_variable FCallDone;
  std::deque<std::shared_ptr<Call>> FCalls;
};

// The process's application object, created by the entry (or a test).
extern TApplication* Application;

}  // namespace framework

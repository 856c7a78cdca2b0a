#include "framework/TApplication.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "platform/MessageBox.h"

namespace framework {

TApplication* Application = nullptr;

int StrToInt(const std::string& text) {
  const std::string invalid = "'" + text + "' is not a valid integer value";
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i == text.size()) throw EConvertError(invalid);
  const char* begin = text.c_str() + i;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(begin, &end, 10);
  if (end == begin || *end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) throw EConvertError(invalid);
  return static_cast<int>(v);
}

struct TApplication::Call {
  std::function<void()> fn;
  bool started = false;
  bool done = false;
  std::exception_ptr error;
};

TApplication::TApplication() : TComponent(nullptr), FGuiThread(std::this_thread::get_id()) {
  Title = "brisvane";
  Application = this;
}

TApplication::~TApplication() {
  // Forms go while the hand-over still exists: a form may own a thread that
  // is waiting in Synchronize and must be stopped and joined first.
  DestroyComponents();
  WakeWaiters();
  if (Application == this) Application = nullptr;
}

void TApplication::Initialize() { FGuiThread = std::this_thread::get_id(); }

void TApplication::RegisterWindow(platform::WindowId id, TForm* form) { FWindows[id] = form; }

void TApplication::UnregisterWindow(platform::WindowId id) { FWindows.erase(id); }

void TApplication::ShowException(const std::exception& e) {
  std::string message = e.what();
  if (!message.empty() && message.back() != '.') message += '.';
  platform::WindowId owner = 0;
  if (FMainForm && FMainForm->HandleAllocated()) owner = FMainForm->Handle();
  platform::ShowMessageBox(owner, message, Title, platform::MB_OK | platform::MB_ICONERROR);
}

void TApplication::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

void TApplication::Run() {
  FGuiThread = std::this_thread::get_id();
  if (FMainForm && !FMainForm->Closed()) FMainForm->Show();
  auto gui = platform::GetGui();
  while (!Terminated()) {
    platform::GuiEvent event;
    if (gui && gui->NextEvent(event, 0)) {
      Dispatch(event);
      continue;
    }
    RunCalls();
    bool done = true;
    if (OnIdle) Guarded([&] { OnIdle(this, done); });
    if (!done || Terminated()) continue;
    // Nothing to do: sleep until the next message (bounded, so a lost wake-up costs little).
    if (gui) {
      if (gui->NextEvent(event, 100)) Dispatch(event);
    } else {
      std::unique_lock<std::mutex> lock(FCallMutex);
      FCallDone.wait_for(lock, std::chrono::milliseconds(20), [&] { return !FCalls.empty(); });
    }
  }
}

void TApplication::ProcessMessages() {
  ProcessMessagesCount.fetch_add(1);
  if (auto gui = platform::GetGui()) {
    platform::GuiEvent event;
    // Bounded, so a flood of events cannot keep a waiting caller here forever.
    for (int i = 0; i < 256 && gui->NextEvent(event, 0); ++i) Dispatch(event);
  }
  RunCalls();
}

void TApplication::Dispatch(const platform::GuiEvent& event) {
  using Type = platform::GuiEvent::Type;
  TForm* form = nullptr;
  if (auto it = FWindows.find(event.window); it != FWindows.end()) form = it->second;
  if (!form) form = FMainForm;
  switch (event.type) {
    case Type::Wake:
      RunCalls();
      break;
    case Type::KeyDown:
      if (form) Guarded([&] { form->DoKeyDown(static_cast<std::uint16_t>(event.key), event.shift); });
      break;
    case Type::KeyPress:
      if (form) Guarded([&] { form->DoKeyPress(static_cast<char>(event.key)); });
      break;
    case Type::MouseMove:
      if (form) Guarded([&] { form->DoMouseMove(event.shift, event.x, event.y); });
      break;
    case Type::Activate:
      if (OnActivate) Guarded([&] { OnActivate(this); });
      break;
    case Type::Deactivate:
      if (OnDeactivate) Guarded([&] { OnDeactivate(this); });
      break;
    case Type::Close:
      if (form) Guarded([&] { form->Close(); });
      break;
    case Type::Quit:
      Terminate();
      break;
    case Type::None:
      break;
  }
}

void TApplication::RunCalls() {
  for (;;) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard<std::mutex> lock(FCallMutex);
      if (FCalls.empty()) return;
      call = FCalls.front();
      FCalls.pop_front();
      call->started = true;
    }
    try {
      call->fn();
    } catch (...) {
      call->error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(FCallMutex);
      call->done = true;
      // The waiter holds the call too: let its last reference, and with it an
      // exception the waiter has read, go on the waiter's own thread.
      call.reset();
    }
    FCallDone.notify_all();
  }
}

bool TApplication::Synchronize(const std::function<void()>& fn, const std::atomic<bool>* cancel) {
  if (OnGuiThread()) {
    fn();
    return true;
  }
  auto call = std::make_shared<Call>();
  call->fn = fn;
  {
    std::lock_guard<std::mutex> lock(FCallMutex);
    FCalls.push_back(call);
  }
  FCallDone.notify_all();
  if (auto gui = platform::GetGui()) gui->Wake();
  std::unique_lock<std::mutex> lock(FCallMutex);
  while (!call->done) {
    if (cancel && cancel->load() && !call->started) {
      for (auto it = FCalls.begin(); it != FCalls.end(); ++it)
        if (*it == call) {
          FCalls.erase(it);
          break;
        }
      return false;
    }
    FCallDone.wait_for(lock, std::chrono::milliseconds(20));
  }
  if (call->error) std::rethrow_exception(call->error);
  return true;
}

void TApplication::WakeWaiters() { FCallDone.notify_all(); }

}  // namespace framework

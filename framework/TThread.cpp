#include "framework/TThread.h"

#include <chrono>

#include "framework/TApplication.h"

namespace framework {

TThread::TThread(bool CreateSuspended) : FApplication(Application) { (void)CreateSuspended; }

TThread::~TThread() { StopAndWait(); }

void TThread::StopAndWait() {
  Terminate();
  Join();
}

void TThread::Start() {
  std::lock_guard<std::mutex> lock(FThreadMutex);
  if (!FSuspended.exchange(false)) return;
  FThread = std::thread([this] { Run(); });
}

void TThread::Run() {
  // Start holds the lock until FThread is assigned.
  { std::lock_guard<std::mutex> lock(FThreadMutex); }
  std::exception_ptr fatal;
  try {
    Execute();
  } catch (...) {
    fatal = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(FFatalMutex);
    FFatal = fatal;
  }
  if (FreeOnTerminate.load()) {
    {
      std::lock_guard<std::mutex> lock(FThreadMutex);
      FThread.detach();
    }
    FFinished.store(true);
    delete this;
    return;
  }
  FFinished.store(true);
}

void TThread::Terminate() {
  {
    // Under the lock, so a Pause between its test and its wait cannot miss it.
    std::lock_guard<std::mutex> lock(FPauseMutex);
    FTerminated.store(true);
  }
  FPauseEnd.notify_all();
  TerminatedSet();
  // A thread that has ended waits in no hand-over; one that frees itself may
  // end after the application is gone.
  if (FApplication && !FFinished.load()) FApplication->WakeWaiters();
}

void TThread::WaitFor() {
  if (FreeOnTerminate.load()) throw Exception("Cannot wait for a thread that frees itself");
  Join();
}

void TThread::Join() {
  std::lock_guard<std::mutex> lock(FThreadMutex);
  if (!FThread.joinable() || FThread.get_id() == std::this_thread::get_id()) return;
  // Run takes this lock again only when it frees itself, and such a thread is never joined.
  FThread.join();
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard<std::mutex> lock(FFatalMutex);
  return FFatal;
}

bool TThread::Synchronize(const std::function<void()>& Method) {
  if (!FApplication) throw Exception("Synchronize without an application");
  return FApplication->Synchronize(Method, &FTerminated);
}

void TThread::Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void TThread::Pause(int ms) {
  std::unique_lock<std::mutex> lock(FPauseMutex);
  FPauseEnd.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FTerminated.load(); });
}

}  // namespace framework

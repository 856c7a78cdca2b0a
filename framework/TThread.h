// A worker thread object: Execute runs on a thread of its own; Terminate sets
// the stop request the loop looks at; Synchronize hands a routine to the GUI
// thread and waits for it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace framework {

class TApplication;

class TThread {
 public:
  // Not started when CreateSuspended; otherwise a final subclass calls Start()
  // at the end of its own constructor (Execute must not run on a half-built object).
  explicit TThread(bool CreateSuspended);
  // Asks the thread to stop and waits for it. A subclass whose Execute uses its
  // own members stops and waits in its own destructor, before they go.
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts Execute once; later calls do nothing.
  void Start();
  // Sets the stop request, releases a pending Synchronize and calls TerminatedSet. Any thread.
  void Terminate();
  bool GetTerminated() const { return FTerminated.load(); }
  // Waits until Execute has returned (at once when it never started). Raises
  // for a thread that frees itself: it may be gone before the wait ends.
  void WaitFor();
  bool GetFinished() const { return FFinished.load(); }
  bool GetSuspended() const { return FSuspended.load(); }
  // When set, the object deletes itself once Execute has returned: nobody else
  // may delete it or touch it after that.
  std::atomic<bool> FreeOnTerminate{false};
  // The exception that ended Execute, if any; read after WaitFor.
  std::exception_ptr FatalException() const;

 protected:
  virtual void Execute() = 0;
  // Called by Terminate after the flag is set, on the calling thread.
  virtual void TerminatedSet() {}
  bool Terminated() const { return FTerminated.load(); }
  // Runs Method on the GUI thread and waits; an exception it raises is raised
  // here. Returns false, without running it, when a stop request came first.
  bool Synchronize(const std::function<void()>& Method);
  static void Sleep(int ms);
  // Sleeps up to ms; a stop request ends it at once.
  void Pause(int ms);
  // For subclass destructors: Terminate, then wait (never raises, also when freeing itself).
  void StopAndWait();

 private:
  void Run();
  void Join();

  TApplication* FApplication = nullptr;  // taken on the creating thread
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::mutex FThreadMutex;  // guards FThread
  std::atomic<bool> FSuspended{true};
  std::thread FThread;
  std::mutex FPauseMutex;
  std::condition_variable FPauseEnd;
  mutable std::mutex FFatalMutex;
  std::exception_ptr FFatal;
};

}  // namespace framework

// The worker thread object: hand-over to the GUI thread, exceptions carried
// back, stop requests that release a waiting hand-over, and its end.
#include "framework/TThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "support/HeadlessEnvironment.h"

namespace {

using namespace std::chrono_literals;
using testing_support::HeadlessEnvironment;

// A thread whose Execute is given by the test.
class Worker : public framework::TThread {
 public:
  using Body = std::function<void(Worker&)>;
  explicit Worker(Body body, std::atomic<bool>* destroyed = nullptr)
      : TThread(true), FBody(std::move(body)), FDestroyed(destroyed) {}
  ~Worker() override {
    StopAndWait();
    if (FDestroyed) FDestroyed->store(true);
  }
  using TThread::Pause;
  using TThread::Sleep;
  using TThread::Synchronize;
  using TThread::Terminated;
  std::atomic<int> TerminatedSetCalls{0};
  std::atomic<int> Executions{0};

 protected:
  void Execute() override {
    ++Executions;
    FBody(*this);
  }
  void TerminatedSet() override { ++TerminatedSetCalls; }

 private:
  Body FBody;
  std::atomic<bool>* FDestroyed;
};

// A refresh-like loop: one counted step on the GUI thread, a short sleep, until stopped.
Worker::Body CountingLoop(std::atomic<int>& steps) {
  return [&steps](Worker& self) {
    while (!self.Terminated()) {
      self.Synchronize([&] { ++steps; });
      Worker::Sleep(1);
    }
  };
}

// Pumps the GUI thread's messages until pred holds (bounded).
bool PumpUntil(HeadlessEnvironment& env, const std::function<bool()>& pred, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    env.app->ProcessMessages();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

}  // namespace

TEST(TThread, SynchronizeRunsOnTheGuiThreadAndWaitsForIt) {
  HeadlessEnvironment env;
  const auto gui = std::this_thread::get_id();
  std::thread::id ranOn;
  std::atomic<bool> sawResult{false};
  Worker w([&](Worker& self) {
    int value = 0;
    const bool ran = self.Synchronize([&] {
      ranOn = std::this_thread::get_id();
      std::this_thread::sleep_for(20ms);  // the worker must still be waiting
      value = 7;
    });
    sawResult = ran && value == 7;
  });
  EXPECT_TRUE(w.GetSuspended());
  w.Start();
  w.Start();  // a second start does nothing
  ASSERT_TRUE(PumpUntil(env, [&] { return w.GetFinished(); }));
  w.WaitFor();
  EXPECT_EQ(ranOn, gui);
  EXPECT_TRUE(sawResult);
  EXPECT_EQ(w.Executions, 1);
  EXPECT_FALSE(w.FatalException());
}

TEST(TThread, AnExceptionOfTheHandedOverRoutineEndsExecute) {
  HeadlessEnvironment env;
  std::atomic<bool> continued{false};
  Worker w([&](Worker& self) {
    self.Synchronize([] { throw framework::EConvertError("'x' is not a valid integer value"); });
    continued = true;
  });
  w.Start();
  ASSERT_TRUE(PumpUntil(env, [&] { return w.GetFinished(); }));
  w.WaitFor();
  EXPECT_FALSE(continued);
  ASSERT_TRUE(w.FatalException());
  try {
    std::rethrow_exception(w.FatalException());
  } catch (const framework::EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
}

TEST(TThread, TerminateReleasesAHandOverTheGuiThreadNeverRuns) {
  HeadlessEnvironment env;
  std::atomic<bool> waiting{false}, ran{false}, handedOver{true};
  Worker w([&](Worker& self) {
    waiting = true;
    handedOver = self.Synchronize([&] { ran = true; });
  });
  w.Start();
  ASSERT_TRUE(testing_support::WaitFor([&] { return waiting.load(); }));
  std::this_thread::sleep_for(30ms);  // into the wait
  w.Terminate();
  // Nobody pumps: only the stop request can end the wait.
  EXPECT_TRUE(testing_support::WaitFor([&] { return w.GetFinished(); }, 5s));
  w.WaitFor();
  EXPECT_FALSE(ran);
  EXPECT_FALSE(handedOver);
  EXPECT_EQ(w.TerminatedSetCalls, 1);
  // Nothing is left queued for the GUI thread.
  env.app->ProcessMessages();
  EXPECT_FALSE(ran);
}

TEST(TThread, DestroyingALoopingThreadStopsAndJoinsIt) {
  HeadlessEnvironment env;
  std::atomic<int> steps{0};
  std::atomic<bool> destroyed{false};
  auto* w = new Worker(CountingLoop(steps), &destroyed);
  w->Start();
  ASSERT_TRUE(PumpUntil(env, [&] { return steps >= 5; }));
  delete w;
  EXPECT_TRUE(destroyed);
  const int after = steps;
  env.app->ProcessMessages();
  EXPECT_EQ(steps, after);
}

TEST(TThread, AStopRequestEndsAPauseAtOnce) {
  HeadlessEnvironment env;
  std::atomic<bool> pausing{false};
  Worker w([&](Worker& self) {
    pausing = true;
    self.Pause(60000);
  });
  w.Start();
  ASSERT_TRUE(testing_support::WaitFor([&] { return pausing.load(); }));
  const auto start = std::chrono::steady_clock::now();
  w.Terminate();
  EXPECT_TRUE(testing_support::WaitFor([&] { return w.GetFinished(); }, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  // Asked to stop before it pauses: no pause at all.
  Worker late([](Worker& self) { self.Pause(60000); });
  late.Terminate();
  late.Start();
  EXPECT_TRUE(testing_support::WaitFor([&] { return late.GetFinished(); }, 10s));
}

TEST(TThread, ANeverStartedThreadEndsAtOnce) {
  HeadlessEnvironment env;
  Worker w([](Worker&) { FAIL() << "never started"; });
  w.Terminate();
  w.WaitFor();
  EXPECT_FALSE(w.GetFinished());
  EXPECT_TRUE(w.GetTerminated());
}

TEST(TThread, FreeOnTerminateDeletesTheObjectWhenExecuteReturns) {
  HeadlessEnvironment env;
  std::atomic<bool> destroyed{false};
  auto* w = new Worker([](Worker& self) { self.Synchronize([] {}); }, &destroyed);
  w->FreeOnTerminate = true;
  EXPECT_THROW(w->WaitFor(), framework::Exception);
  w->Start();
  // w may be gone from here on.
  EXPECT_TRUE(PumpUntil(env, [&] { return destroyed.load(); }));
}

TEST(TApplication, DestroysItsFormsWhileTheHandOverStillWorks) {
  // A form that owns a looping worker joins it when destroyed with the application.
  std::atomic<int> steps{0};
  std::atomic<bool> destroyed{false};
  struct OwningForm : framework::TForm {
    OwningForm(framework::TComponent* owner, std::unique_ptr<Worker> w) : TForm(owner), worker(std::move(w)) {}
    std::unique_ptr<Worker> worker;
  };
  {
    HeadlessEnvironment env;
    auto worker = std::make_unique<Worker>(CountingLoop(steps), &destroyed);
    worker->Start();
    OwningForm* form = nullptr;
    env.app->CreateForm(&form, std::move(worker));
    ASSERT_TRUE(PumpUntil(env, [&] { return steps >= 3; }));
  }
  EXPECT_TRUE(destroyed);
}

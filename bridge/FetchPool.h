// Upstream work off the server's thread: a few workers, a bounded queue, and
// one job per request key however many clients wait for it. Waiters are told
// when their job is done; the server decides how long they wait.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/BridgeReply.h"

namespace bridge {

// What a job produced: a good reply (already cached by the job), or the reply
// to give when nothing cached can stand in for it.
struct JobOutcome {
  bool good = false;
  BridgeReply reply;
};

class FetchJob {
 public:
  explicit FetchJob(std::string key) : FKey(std::move(key)) {}
  const std::string& Key() const { return FKey; }
  bool Done() const;
  JobOutcome Outcome() const;
  // Runs the callback once, when the job is done (at once if it already is),
  // on whichever thread finishes it.
  void OnDone(std::function<void()> callback);
  void Finish(JobOutcome outcome);

 private:
  std::string FKey;
  mutable std::mutex FMutex;
  bool FDone = false;
  JobOutcome FOutcome;
  std::vector<std::function<void()>> FCallbacks;
};

class FetchPool {
 public:
  using Work = std::function<JobOutcome(const std::atomic<bool>& cancel)>;
  static constexpr std::size_t kMaxQueued = 64;

  explicit FetchPool(std::size_t workers = 4);
  ~FetchPool();
  FetchPool(const FetchPool&) = delete;
  FetchPool& operator=(const FetchPool&) = delete;

  // The running or queued job for the key, or a new one; nothing when the
  // queue is full or the pool is stopping.
  std::shared_ptr<FetchJob> Submit(const std::string& key, Work work);
  // Jobs queued or running.
  std::size_t Busy() const;
  // Cancels running transfers, finishes queued jobs as failed and joins the
  // workers.
  void Stop();

 private:
  struct Task {
    std::shared_ptr<FetchJob> job;
    Work work;
  };
  void Run();

  mutable std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<Task> FQueue;
  std::map<std::string, std::shared_ptr<FetchJob>> FActive;
  std::atomic<bool> FCancel{false};
  bool FStopping = false;
  std::vector<std::thread> FWorkers;
};

}  // namespace bridge

#include "bridge/FetchPool.h"

namespace bridge {

bool FetchJob::Done() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FDone;
}

JobOutcome FetchJob::Outcome() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FOutcome;
}

void FetchJob::OnDone(std::function<void()> callback) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FDone) {
      FCallbacks.push_back(std::move(callback));
      return;
    }
  }
  callback();
}

void FetchJob::Finish(JobOutcome outcome) {
  std::vector<std::function<void()>> callbacks;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FDone) return;
    FDone = true;
    FOutcome = std::move(outcome);
    callbacks.swap(FCallbacks);
  }
  for (auto& c : callbacks) c();
}

FetchPool::FetchPool(std::size_t workers) {
  for (std::size_t i = 0; i < workers; ++i) FWorkers.emplace_back([this] { Run(); });
}

FetchPool::~FetchPool() { Stop(); }

std::shared_ptr<FetchJob> FetchPool::Submit(const std::string& key, Work work) {
  std::lock_guard<std::mutex> lock(FMutex);
  if (FStopping) return nullptr;
  if (auto it = FActive.find(key); it != FActive.end()) return it->second;
  if (FQueue.size() >= kMaxQueued) return nullptr;
  auto job = std::make_shared<FetchJob>(key);
  FActive.emplace(key, job);
  FQueue.push_back(Task{job, std::move(work)});
  FWake.notify_one();
  return job;
}

std::size_t FetchPool::Busy() const {
  std::lock_guard<std::mutex> lock(FMutex);
  return FActive.size();
}

void FetchPool::Run() {
  for (;;) {
    Task task;
    {
      std::unique_lock<std::mutex> lock(FMutex);
      FWake.wait(lock, [this] { return FStopping || !FQueue.empty(); });
      if (FQueue.empty()) return;
      task = std::move(FQueue.front());
      FQueue.pop_front();
    }
    JobOutcome outcome;
    try {
      outcome = task.work(FCancel);
    } catch (const std::exception& e) {
      outcome.reply = BridgeReply::Page(502, "Bad Gateway", e.what());
    }
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FActive.erase(task.job->Key());
    }
    task.job->Finish(std::move(outcome));
  }
}

void FetchPool::Stop() {
  std::deque<Task> dropped;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FStopping && FWorkers.empty()) return;
    FStopping = true;
    FCancel.store(true);
    dropped.swap(FQueue);
    for (const Task& t : dropped) FActive.erase(t.job->Key());
  }
  FWake.notify_all();
  for (Task& t : dropped) t.job->Finish(JobOutcome{false, BridgeReply::Page(503, "Service Unavailable", "stopping")});
  for (std::thread& w : FWorkers)
    if (w.joinable()) w.join();
  FWorkers.clear();
}

}  // namespace bridge

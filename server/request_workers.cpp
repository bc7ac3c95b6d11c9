#include "server/request_workers.h"

#include <algorithm>

namespace score {

RequestWorkers::RequestWorkers(unsigned threads, size_t queueLimit, std::chrono::milliseconds stall)
    : queueLimit_(queueLimit), stall_(stall), running_(std::max(1u, threads), Clock::time_point::max()) {
  for (size_t i = 0; i < running_.size(); ++i) threads_.emplace_back([this, i] { Work(i); });
}

RequestWorkers::~RequestWorkers() { Stop(); }

bool RequestWorkers::Submit(Job job) {
  const Clock::time_point now = Clock::now();
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || queue_.size() >= queueLimit_) return false;
    const Clock::time_point oldest = *std::min_element(running_.begin(), running_.end());
    const bool allBusy = std::none_of(running_.begin(), running_.end(),
                                      [](Clock::time_point t) { return t == Clock::time_point::max(); });
    if (allBusy && now - oldest > stall_) return false;
    queue_.push_back({std::move(job), now});
  }
  wake_.notify_one();
  return true;
}

double RequestWorkers::OldestWait() {
  std::lock_guard lock(mutex_);
  Clock::time_point oldest = *std::min_element(running_.begin(), running_.end());
  if (!queue_.empty()) oldest = std::min(oldest, queue_.front().submitted);
  if (oldest == Clock::time_point::max()) return 0;
  return std::chrono::duration<double>(Clock::now() - oldest).count();
}

void RequestWorkers::Work(size_t index) {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and nothing left to answer
    Queued next = std::move(queue_.front());
    queue_.pop_front();
    const bool cancelled = stopping_;
    running_[index] = next.submitted;
    lock.unlock();
    next.job(cancelled);
    lock.lock();
    running_[index] = Clock::time_point::max();
  }
}

void RequestWorkers::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
}

}  // namespace score

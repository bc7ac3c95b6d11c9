// The threads that wait for the database, apart from the threads that
// serve connections: a request that needs the database is handed over here
// while its connection waits, so a database that stops answering holds
// these threads only, and /healthz is still answered at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace score {

class RequestWorkers {
 public:
  // A job runs once: normally with false; with true when the workers stop
  // before it started, so it answers without doing its work.
  using Job = std::function<void(bool cancelled)>;
  using Clock = std::chrono::steady_clock;

  // `stall`: when every worker is busy and the oldest of them has worked
  // that long, new jobs are refused instead of queued (the database is not
  // keeping up, and a queue would only make every answer later).
  RequestWorkers(unsigned threads, size_t queueLimit, std::chrono::milliseconds stall);
  ~RequestWorkers();
  RequestWorkers(const RequestWorkers&) = delete;
  RequestWorkers& operator=(const RequestWorkers&) = delete;

  // False, and the job is not kept, when it is refused as above, the queue
  // is full or the workers are stopping.
  bool Submit(Job job);
  // Seconds the longest-waiting unfinished job has waited since it was
  // submitted; 0 without any.
  double OldestWait();
  // Running jobs finish, queued ones run cancelled; then the threads end.
  void Stop();

 private:
  struct Queued {
    Job job;
    Clock::time_point submitted;
  };
  void Work(size_t index);

  size_t queueLimit_;
  std::chrono::milliseconds stall_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::deque<Queued> queue_;
  // Per thread: when its job was submitted, or max() when it is idle.
  std::vector<Clock::time_point> running_;
  std::vector<std::thread> threads_;
};

}  // namespace score

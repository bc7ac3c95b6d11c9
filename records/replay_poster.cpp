// A replay's post natively: a thread of the poster's own takes the posts in
// turn (sent by libcurl, or on Windows by WinHTTP: records/replay_send*).
// The program's end lets the posts still waiting go out, all within one
// timeout, then gives up on the rest.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "records/replay_poster.h"
#include "records/replay_send.h"

namespace {

using Clock = std::chrono::steady_clock;
using Outgoing = records::OutgoingPost;

}  // namespace

struct ReplayPoster::Worker {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<Outgoing> waiting;
  bool ending = false;
  Clock::time_point endBy;  // once ending: no post runs past it
  std::thread thread;

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return ending || !waiting.empty(); });
      if (waiting.empty()) return;
      long timeoutMs = kTimeoutMs;
      if (ending) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(endBy - Clock::now()).count();
        // libcurl reads a limit of 0 as none.
        if (left <= 0) return;
        timeoutMs = std::min<long>(timeoutMs, static_cast<long>(left));
      }
      Outgoing post = std::move(waiting.front());
      waiting.pop_front();
      lock.unlock();
      records::SendPost(post, timeoutMs);
      lock.lock();
    }
  }
};

ReplayPoster::ReplayPoster() : worker(std::make_unique<Worker>()) {}

ReplayPoster::~ReplayPoster() {
  {
    std::lock_guard lock(worker->mutex);
    worker->ending = true;
    worker->endBy = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
  }
  worker->wake.notify_one();
  if (worker->thread.joinable()) worker->thread.join();
}

void ReplayPoster::Post(std::string address, std::string body, std::string playerKey) {
  records::PrepareToSend();
  {
    std::lock_guard lock(worker->mutex);
    worker->waiting.push_back({std::move(address), std::move(body), std::move(playerKey)});
    if (!worker->thread.joinable()) worker->thread = std::thread([w = worker.get()] { w->Run(); });
  }
  worker->wake.notify_one();
}

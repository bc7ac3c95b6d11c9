// A replay's post natively: libcurl on a thread of the poster's
// own, taking the posts in turn. The program's end lets the posts still
// waiting go out, all within one timeout, then gives up on the rest.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "records/replay_poster.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Outgoing {
  std::string address, body, playerKey;
};

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

void Send(const Outgoing& post, long timeoutMs) {
  CURL* curl = curl_easy_init();
  if (!curl) return;
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/plain; charset=utf-8");
  if (!post.playerKey.empty()) headers = curl_slist_append(headers, ("X-Player-Key: " + post.playerKey).c_str());
  curl_easy_setopt(curl, CURLOPT_URL, post.address.c_str());
  // Only the web: a setup.ini naming another scheme posts nothing.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post.body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(post.body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  // No signals from a thread that is not the program's own.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
  curl_easy_perform(curl);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
}

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
      Send(post, timeoutMs);
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
  // On the first post, not at start-up: a game that never posts loads nothing.
  static std::once_flag global;
  std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  {
    std::lock_guard lock(worker->mutex);
    worker->waiting.push_back({std::move(address), std::move(body), std::move(playerKey)});
    if (!worker->thread.joinable()) worker->thread = std::thread([w = worker.get()] { w->Run(); });
  }
  worker->wake.notify_one();
}

#include "launcher/replay_post.h"

#include <curl/curl.h>

#include <mutex>
#include <thread>

namespace {

constexpr long kTimeoutSeconds = 5;

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

void Post(const std::string& address, const std::string& body, const std::string& playerKey) {
  CURL* curl = curl_easy_init();
  if (!curl) return;
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/plain; charset=utf-8");
  if (!playerKey.empty()) headers = curl_slist_append(headers, ("X-Player-Key: " + playerKey).c_str());
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  // Only the web: a setup.ini naming another scheme posts nothing.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTimeoutSeconds);
  // No signals from a thread that is not the program's own.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
  curl_easy_perform(curl);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
}

// The one post under way; ending the program waits for it.
struct Poster {
  std::mutex mutex;
  std::thread worker;
  ~Poster() {
    if (worker.joinable()) worker.join();
  }
};

Poster& ThePoster() {
  static Poster poster;
  return poster;
}

}  // namespace

void PostInBackground(std::string address, std::string body, std::string playerKey) {
  static std::once_flag global;
  std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  Poster& poster = ThePoster();
  std::lock_guard lock(poster.mutex);
  if (poster.worker.joinable()) poster.worker.join();
  poster.worker = std::thread([address = std::move(address), body = std::move(body), key = std::move(playerKey)] {
    Post(address, body, key);
  });
}

// A replay's post by libcurl.
#include <curl/curl.h>

#include <mutex>

#include "records/replay_send.h"

namespace records {
namespace {

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

void PrepareToSend() {
  static std::once_flag global;
  std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void SendPost(const OutgoingPost& post, long timeoutMs) {
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

}  // namespace records

// A deal's request natively: libcurl on a thread of its own, as the
// launcher posts replays. The game only looks at the answer's slot; ending
// the request (the program closing) wakes the thread at once, so closing
// never waits for a slow server.
#include <curl/curl.h>

#include <mutex>
#include <thread>

#include "game/deal_source.h"

namespace {

class CurlDealRequest final : public DealRequest {
 public:
  ~CurlDealRequest() override { End(); }

  void Start(const std::string& address, bool post) override {
    // On the first request, not at start-up: a game that never asks loads nothing.
    static std::once_flag global;
    std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    End();
    {
      std::lock_guard lock(mutex);
      state = State::kRunning;
      cancelled = false;
    }
    worker = std::thread([this, address, post] { Run(address, post); });
  }

  std::optional<Answer> Poll() override {
    std::lock_guard lock(mutex);
    if (state != State::kDone) return std::nullopt;
    state = State::kIdle;
    return std::move(answer);
  }

 private:
  enum class State { kIdle, kRunning, kDone };

  static size_t Keep(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<std::string*>(user);
    // More than a deal can be: stop reading (the transfer then fails).
    if (body->size() + size * count > kMaxAnswerBytes) return 0;
    body->append(data, size * count);
    return size * count;
  }

  void Run(const std::string& address, bool post) {
    Answer result;
    CURL* easy = curl_easy_init();
    CURLM* multi = curl_multi_init();
    if (easy && multi) {
      curl_easy_setopt(easy, CURLOPT_URL, address.c_str());
      // Only the web: a setup.ini naming another scheme asks nothing.
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(kTimeoutMs));
      curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Keep);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &result.body);
      if (post) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, "");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, 0L);
      }
      curl_multi_add_handle(multi, easy);
      int active = 1;
      {
        std::lock_guard lock(mutex);
        running = multi;
        if (cancelled) active = 0;
      }
      while (active > 0) {
        if (curl_multi_perform(multi, &active) != CURLM_OK || active == 0) break;
        curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        std::lock_guard lock(mutex);
        if (cancelled) break;
      }
      {
        std::lock_guard lock(mutex);
        running = nullptr;
      }
      int left = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
        if (message->msg != CURLMSG_DONE || message->data.result != CURLE_OK) continue;
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        result.status = static_cast<int>(status);
      }
      curl_multi_remove_handle(multi, easy);
    }
    if (result.status == 0) result.body.clear();
    curl_multi_cleanup(multi);
    curl_easy_cleanup(easy);
    std::lock_guard lock(mutex);
    answer = std::move(result);
    state = State::kDone;
  }

  // Wakes a request under way to end it, and waits for its thread.
  void End() {
    {
      std::lock_guard lock(mutex);
      cancelled = true;
      if (running) curl_multi_wakeup(running);
    }
    if (worker.joinable()) worker.join();
  }

  std::mutex mutex;
  State state = State::kIdle;
  bool cancelled = false;
  CURLM* running = nullptr;  // the transfer's handle while it runs, for the wake-up
  Answer answer;
  std::thread worker;
};

}  // namespace

std::unique_ptr<DealRequest> MakeDealRequest() { return std::make_unique<CurlDealRequest>(); }

bool PageAsksForTheDailyDeal() { return false; }

// The page's fetch behind platform::PagePostText and the requests the
// program polls (page_post.h).
#include <emscripten/emscripten.h>

#include <cstdlib>

#include "platform/device/page_post.h"

namespace {

EM_JS(void, qb_page_post, (const char* address, const char* body, const char* playerKey), {
  const headers = {'Content-Type': 'text/plain; charset=utf-8'};
  const key = UTF8ToString(playerKey);
  if (key) headers['X-Player-Key'] = key;
  fetch(UTF8ToString(address), {
    method: 'POST',
    headers: headers,
    body: UTF8ToString(body),
    keepalive: true,
  }).catch(function (error) { console.warn('the replay was not sent', error); });
});

// Each request's answer waits in the page until the program takes it; the
// body is kept as UTF-8 bytes, so its size is known before it is copied.
EM_JS(int, qb_page_request, (const char* method, const char* address, int timeoutMs), {
  const page = Module.qbPage || (Module.qbPage = {});
  page.answers = page.answers || new Map();
  page.lastRequest = (page.lastRequest || 0) + 1;
  const id = page.lastRequest;
  const answer = {done: false, status: 0, bytes: new Uint8Array(0)};
  page.answers.set(id, answer);
  const controller = new AbortController();
  const timer = setTimeout(function () { controller.abort(); }, timeoutMs);
  function end(status, text) {
    clearTimeout(timer);
    answer.status = status;
    answer.bytes = new TextEncoder().encode(text);
    answer.done = true;
  }
  fetch(UTF8ToString(address), {method: UTF8ToString(method), cache: 'no-store', signal: controller.signal})
    .then(function (response) {
      return response.text().then(function (text) { end(response.status, text); });
    })
    .catch(function () { end(0, ""); });
  return id;
});

// The answer's size in bytes once it has come; -1 before.
EM_JS(int, qb_page_answer_size, (int id), {
  const answer = Module.qbPage.answers.get(id);
  return answer && answer.done ? answer.bytes.length : -1;
});

// Copies the answer's body to out (unless out is null) and forgets it; its status.
EM_JS(int, qb_page_take_answer, (int id, char* out), {
  const answers = Module.qbPage.answers;
  const answer = answers.get(id);
  answers.delete(id);
  if (out) HEAPU8.set(answer.bytes, out);
  return answer.status;
});

EM_JS(char*, qb_page_query_value, (const char* name), {
  const value = new URLSearchParams(location.search).get(UTF8ToString(name)) || "";
  const size = new TextEncoder().encode(value).length + 1;
  const text = _malloc(size);
  stringToUTF8(value, text, size);
  return text;
});

}  // namespace

namespace platform {

void PagePostText(const std::string& address, const std::string& body, const std::string& playerKey) {
  qb_page_post(address.c_str(), body.c_str(), playerKey.c_str());
}

int PageStartRequest(const char* method, const std::string& address, int timeoutMs) {
  return qb_page_request(method, address.c_str(), timeoutMs);
}

std::optional<PageAnswer> PageTakeAnswer(int request, size_t maxBytes) {
  const int size = qb_page_answer_size(request);
  if (size < 0) return std::nullopt;
  PageAnswer answer;
  if (static_cast<size_t>(size) > maxBytes) {
    qb_page_take_answer(request, nullptr);
    return answer;
  }
  answer.body.resize(static_cast<size_t>(size));
  answer.status = qb_page_take_answer(request, answer.body.data());
  return answer;
}

std::string PageQueryValue(const char* name) {
  char* text = qb_page_query_value(name);
  std::string value = text;
  std::free(text);
  return value;
}

}  // namespace platform

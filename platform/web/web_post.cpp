// The page's fetch behind platform::PagePostText.
#include <emscripten/emscripten.h>

#include "platform/device/page_post.h"

namespace {

EM_JS(void, qb_page_post, (const char* address, const char* body), {
  fetch(UTF8ToString(address), {
    method: 'POST',
    headers: {'Content-Type': 'text/plain; charset=utf-8'},
    body: UTF8ToString(body),
    keepalive: true,
  }).catch(function (error) { console.warn('the replay was not sent', error); });
});

}  // namespace

namespace platform {

void PagePostText(const std::string& address, const std::string& body) { qb_page_post(address.c_str(), body.c_str()); }

}  // namespace platform

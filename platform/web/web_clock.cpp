// The page's time base for the "web" clock (platform/device/clock.cpp): the
// page's own clock, and waits that hand control back to the page (Asyncify)
// so it can draw, take input and play sound while the program waits.
#include <emscripten/emscripten.h>

#include "platform/device/clock.h"
#include "platform/web/web_page.h"

namespace platform {

uint32_t HostClockNowMs() { return static_cast<uint32_t>(static_cast<uint64_t>(qb_page_now())); }

void HostClockSleepMs(uint32_t ms) {
  qb_page_yield_begin();
  emscripten_sleep(ms);
  qb_page_yield_end();
}

}  // namespace platform

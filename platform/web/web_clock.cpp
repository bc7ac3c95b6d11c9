// The page's time base for the "web" clock (platform/device/clock.cpp): the
// page's own clock, and waits that hand control back to the page (Asyncify)
// so it can draw, take input and play sound while the program waits.
//
// A program waits on its 10 ms timer every frame; a page woken a hundred
// times a second costs a phone its battery for a picture that does not
// change. So once the program is still (nothing drawn, no input, no sound
// handed to the page for a second) a wait lasts until the player does
// something, or at most a tenth of a second: the timer's callbacks missed
// meanwhile run at once on waking (PageClock), so the program's time is as
// it was, and only what it would show by time alone comes a little later.
#include <emscripten/emscripten.h>

#include <algorithm>

#include "platform/device/clock.h"
#include "platform/web/web_page.h"

namespace {

// The page's count of pictures drawn and when the player last did anything.
EM_JS(int, qb_page_frames_drawn, (), { return Module.qbPage.framesDrawn; });
EM_JS(double, qb_page_last_input, (), { return Module.qbPage.lastInputAt; });

// Until the player does something, or ms have passed.
EM_ASYNC_JS(void, qb_page_sleep_until_input, (int ms), {
  await new Promise(function (resume) { Module.qbPage.sleepUntilInput(ms, resume); });
});

constexpr double kStillAfterMs = 1000;
constexpr uint32_t kStillWaitMs = 100;

double g_busyAt = 0;  // when the page last drew, or was handed sound
int g_framesDrawn = 0;

bool Still() {
  const double now = qb_page_now();
  if (const int frames = qb_page_frames_drawn(); frames != g_framesDrawn) {
    g_framesDrawn = frames;
    g_busyAt = now;
  }
  return now - std::max(g_busyAt, qb_page_last_input()) >= kStillAfterMs;
}

}  // namespace

namespace platform {

void NoteSoundQueued() { g_busyAt = qb_page_now(); }

uint32_t HostClockNowMs() { return static_cast<uint32_t>(static_cast<uint64_t>(qb_page_now())); }

void HostClockSleepMs(uint32_t ms) {
  qb_page_yield_begin();
  if (ms > 0 && Still())
    qb_page_sleep_until_input(static_cast<int>(std::max(ms, kStillWaitMs)));
  else
    emscripten_sleep(ms);
  qb_page_yield_end();
}

}  // namespace platform

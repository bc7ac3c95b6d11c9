// The page's time base for the "web" clock (platform/device/clock.cpp): the
// page's own clock, and waits that hand control back to the page (Asyncify)
// so it can draw, take input and play sound while the program waits.
//
// A program waits on its 10 ms timer every frame; a page woken a hundred
// times a second costs a phone its battery for a picture that does not
// change. So while no sound is handed to the page, a wait may last until
// the player does something: as long as the last frame said nothing was
// due (NothingDueForMs), else a tenth of a second once nothing has been
// drawn for a second. The timer's callbacks missed meanwhile run at once on
// waking (PageClock), so the program's time is as it was; only what it
// would show by time alone, unannounced, comes a little later.
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

constexpr double kSoundWakesMs = 200;   // sound handed this lately keeps the waits short
constexpr double kStillAfterMs = 1000;  // nothing drawn this long: a still picture
constexpr double kStillWaitMs = 100;
// The longest wait on a frame's word; the page's clock takes a longer one for a stall.
constexpr double kLongestWaitMs = 400;

double g_drawnAt = 0;  // when the page last drew
double g_soundAt = -kSoundWakesMs;
int g_framesDrawn = 0;
double g_saidAt = 0, g_dueAt = 0;  // when the last frame said nothing was due before when
// Work longer than this without handing the page its thread makes a long
// task (the page neither draws nor answers); under a phone's slower CPU
// even a few such turns hold a tap back.
constexpr double kLongestTurnMs = 12;
double g_turnAt = 0;  // when the program last had its thread back from the page

// How long a wait of ms from now may last while the player does nothing.
double QuietWaitMs(double now, double ms) {
  if (now - g_soundAt < kSoundWakesMs) return ms;
  const double input = qb_page_last_input();
  if (g_saidAt > input && g_dueAt - now > ms) return std::min(g_dueAt - now, kLongestWaitMs);
  if (const int frames = qb_page_frames_drawn(); frames != g_framesDrawn) {
    g_framesDrawn = frames;
    g_drawnAt = now;
  }
  if (now - std::max(g_drawnAt, input) >= kStillAfterMs) return std::max(ms, kStillWaitMs);
  return ms;
}

}  // namespace

namespace platform {

void NoteSoundQueued() { g_soundAt = qb_page_now(); }

void HostClockNothingDueForMs(uint32_t ms) {
  g_saidAt = qb_page_now();
  g_dueAt = g_saidAt + ms;
}

uint32_t HostClockNowMs() { return static_cast<uint32_t>(static_cast<uint64_t>(qb_page_now())); }

void HostClockSleepMs(uint32_t ms) {
  qb_page_yield_begin();
  const double quiet = ms > 0 ? QuietWaitMs(qb_page_now(), ms) : 0;
  if (quiet > ms)
    qb_page_sleep_until_input(static_cast<int>(quiet));
  else
    emscripten_sleep(ms);
  if (ms > 0) g_dueAt = 0;  // a word for one wait: the next frame says it again
  qb_page_yield_end();
  g_turnAt = qb_page_now();
}

void HostClockBreak() {
  if (qb_page_now() - g_turnAt < kLongestTurnMs) return;
  qb_page_yield_begin();
  emscripten_sleep(0);
  qb_page_yield_end();
  g_turnAt = qb_page_now();
}

}  // namespace platform

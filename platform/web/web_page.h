// What the web backend asks of its page: the functions of qb_web.js, the
// JavaScript library linked into the web build.
#pragma once

#include <cstdint>

extern "C" {
// The picture: rows of RGBA for the rectangle (x, y, w, h) of a width x height frame.
void qb_page_draw(const uint32_t* rgba, int width, int height, int x, int y, int w, int h);
void qb_page_set_title(const char* title);
void qb_page_message(const char* caption, const char* text);
void qb_page_busy(int busy);
void qb_page_size(int* width, int* height);
// Milliseconds of the page's clock (performance.now()).
double qb_page_now();
// Around each wait, so the page can tell how long the program worked between
// two waits (the benchmark's heaviest frame).
void qb_page_yield_begin();
void qb_page_yield_end();
// The hidden text field: focused while the program wants typed text, so that
// a phone shows its keyboard; blurred when it no longer does.
void qb_page_text_input(int on);
// The touches the page's screen takes at once: 0 unless its pointer is a
// finger (or the player has touched it).
int qb_page_touch_points();
// Programs and web addresses: the program's own page, with its parameters, or a new tab.
void qb_page_open_program(const char* name, const char* parameters);
int qb_page_open_address(const char* address);
// Web Audio: queues interleaved 16-bit stereo frames at the mixer's rate;
// returns how many milliseconds of sound are queued ahead of what is heard.
int qb_page_audio_queue(const int16_t* frames, int count, int rate);
}

namespace platform {
// The audio output has handed the page sound to play: the page's waits stay
// short while it does, so the sound queued ahead never runs out (web_clock.cpp).
void NoteSoundQueued();
}  // namespace platform

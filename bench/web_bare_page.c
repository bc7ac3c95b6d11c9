/* The benchmark's yardstick for an idle page (bench/web_bench.js): the least
 * an Emscripten program can do that still waits through Asyncify, a frame
 * every 100 ms that does nothing but count itself. */
#include <emscripten/emscripten.h>

EM_JS(void, bare_frame, (void), { window.bareWakes = (window.bareWakes || 0) + 1; });

int main(void) {
  for (;;) {
    bare_frame();
    emscripten_sleep(100);
  }
}

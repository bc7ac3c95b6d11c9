// The music decoder of the web build: the browser decodes the MP3
// (decodeAudioData, awaited through Asyncify) at the mixer's rate, so the
// music player gets the whole piece as samples, ready to loop.
#include <emscripten/emscripten.h>

#include <cstdlib>
#include <cstring>

#include "platform/device/music_decoder.h"
#include "platform/media/mixer.h"

namespace {

// Returns malloc'ed interleaved 16-bit stereo samples and their frames, or null.
EM_ASYNC_JS(int16_t*, qb_page_decode_music, (const uint8_t* bytes, int size, int rate, int* frames), {
  try {
    const page = Module.qbPage;
    const data = HEAPU8.slice(bytes, bytes + size);
    // The page starts decoding the program's music while the program starts
    // (qb_page.js); waiting for it is time given back to the page.
    page.yieldBegin();
    const pcm = await page.decodeMusic(data, rate);
    page.yieldEnd();
    const samples = _malloc(pcm.length * 2);
    if (!samples) return 0;
    HEAP16.set(pcm, samples >> 1);
    HEAP32[frames >> 2] = pcm.length / 2;
    return samples;
  } catch (error) {
    console.warn('the music could not be decoded', error);
    return 0;
  }
});

}  // namespace

namespace platform {

bool DecodeMusicFile(const std::string& bytes, DecodedMusic* music) {
  int frames = 0;
  int16_t* samples = qb_page_decode_music(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()),
                                          static_cast<int>(kMixRate), &frames);
  if (!samples) return false;
  music->rate = kMixRate;
  music->channels = 2;
  music->frames = static_cast<uint64_t>(frames);
  music->samples.assign(samples, samples + static_cast<size_t>(frames) * 2);
  std::free(samples);
  return true;
}

}  // namespace platform

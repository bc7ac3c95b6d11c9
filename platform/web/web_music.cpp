// The music decoder of the web build: the browser decodes the MP3
// (decodeAudioData, awaited through Asyncify) at the mixer's rate, so the
// music player gets the whole piece as samples, ready to loop. The page
// keeps the decoded piece until it is copied, once, into the player's
// buffer: ten megabytes for a few minutes of music, so no second copy.
#include <emscripten/emscripten.h>

#include <cstdint>

#include "platform/device/music_decoder.h"
#include "platform/media/mixer.h"

namespace {

// Decodes into the page's hands and returns the frames (interleaved 16-bit
// stereo), or -1. The page started decoding the program's music while the
// program started (qb_page.js); waiting for it is time given back to the page.
EM_ASYNC_JS(int, qb_page_decode_music, (const uint8_t* bytes, int size, int rate), {
  const page = Module.qbPage;
  page.decodedMusic = null;
  try {
    const data = HEAPU8.slice(bytes, bytes + size);
    page.yieldBegin();
    const pcm = await page.decodeMusic(data, rate);
    page.yieldEnd();
    page.decodedMusic = pcm;
    return pcm.length / 2;
  } catch (error) {
    page.yieldEnd();
    console.warn('the music could not be decoded', error);
    return -1;
  }
});

// Copies the piece just decoded to `to` and lets the page forget it.
EM_JS(void, qb_page_take_music, (int16_t* to), {
  const page = Module.qbPage;
  HEAP16.set(page.decodedMusic, to >> 1);
  page.decodedMusic = null;
});

}  // namespace

namespace platform {

bool DecodeMusicFile(const std::string& bytes, DecodedMusic* music) {
  const int frames = qb_page_decode_music(reinterpret_cast<const uint8_t*>(bytes.data()),
                                          static_cast<int>(bytes.size()), static_cast<int>(kMixRate));
  if (frames < 0) return false;
  music->rate = kMixRate;
  music->channels = 2;
  music->frames = static_cast<uint64_t>(frames);
  music->pcm.resize(static_cast<size_t>(frames) * 2 * sizeof(int16_t));
  if (frames > 0) qb_page_take_music(reinterpret_cast<int16_t*>(music->pcm.data()));
  return true;
}

}  // namespace platform

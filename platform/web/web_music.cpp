// The music decoder of the web build: the browser decodes the MP3
// (decodeAudioData, awaited through Asyncify) at the mixer's rate, so the
// music player gets the whole piece as samples, ready to loop. The page
// keeps the decoded channels until they are made, piece by piece, into the
// player's buffer: ten megabytes for a few minutes of music, written once.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/device/music_decoder.h"
#include "platform/media/mixer.h"
#include "platform/media/pcm_from_float.h"

namespace {

// Decodes into the page's hands and returns the frames, or -1. The page
// started decoding the program's music as its package arrived (qb_page.js);
// waiting for it is time given back to the page.
EM_ASYNC_JS(int, qb_page_decode_music, (const uint8_t* bytes, int size, int rate), {
  const page = Module.qbPage;
  page.decodedMusic = null;
  try {
    const data = HEAPU8.slice(bytes, bytes + size);
    page.yieldBegin();
    const decoded = await page.decodeMusic(data, rate);
    page.yieldEnd();
    page.decodedMusic = decoded;
    return decoded.frames;
  } catch (error) {
    page.yieldEnd();
    console.warn('the music could not be decoded', error);
    return -1;
  }
});

// Copies `count` frames of each channel of the piece just decoded, from `first` on.
EM_JS(void, qb_page_music_channels, (float* left, float* right, int first, int count), {
  const music = Module.qbPage.decodedMusic;
  HEAPF32.set(music.left.subarray(first, first + count), left >> 2);
  HEAPF32.set(music.right.subarray(first, first + count), right >> 2);
});

EM_JS(void, qb_page_forget_music, (), { Module.qbPage.decodedMusic = null; });

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
  auto* out = reinterpret_cast<int16_t*>(music->pcm.data());
  constexpr int kPiece = 16384;
  std::vector<float> left(kPiece), right(kPiece);
  for (int first = 0; first < frames; first += kPiece) {
    const int count = std::min(kPiece, frames - first);
    qb_page_music_channels(left.data(), right.data(), first, count);
    InterleavePcm16(left.data(), right.data(), static_cast<size_t>(count), out + 2 * static_cast<size_t>(first));
  }
  qb_page_forget_music();
  return true;
}

}  // namespace platform

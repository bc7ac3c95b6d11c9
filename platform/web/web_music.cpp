// The music decoder of the web build. The MP3s are not in the program's
// package: the page fetches each from beside the page when the program
// opens it and the browser decodes it (decodeAudioData) at the mixer's
// rate, in the background, so the program never waits for its music
// (qb_page.js). Once decoded, the page keeps the channels until they are
// made, piece by piece, into the player's buffer: ten megabytes for a few
// minutes of music, written once.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/device/music_decoder.h"
#include "platform/media/mixer.h"
#include "platform/media/pcm_from_float.h"

namespace {

// 1 once the page is getting the file's music, 0 when it knows there is none.
EM_JS(int, qb_page_music_start, (const char* path, int rate), {
  return Module.qbPage.startMusic(UTF8ToString(path), rate) ? 1 : 0;
});

// The frames of the file's decoded music, 0 while it is coming, -1 when it failed.
EM_JS(int, qb_page_music_frames, (const char* path), {
  return Module.qbPage.musicFrames(UTF8ToString(path));
});

// Copies `count` frames of each channel of the file's decoded music, from `first` on.
EM_JS(void, qb_page_music_channels, (const char* path, float* left, float* right, int first, int count), {
  const music = Module.qbPage.decodedMusic(UTF8ToString(path));
  HEAPF32.set(music.left.subarray(first, first + count), left >> 2);
  HEAPF32.set(music.right.subarray(first, first + count), right >> 2);
});

// The page lets go of the decoded channels (it keeps the file's bytes).
EM_JS(void, qb_page_music_taken, (const char* path), { Module.qbPage.musicTaken(UTF8ToString(path)); });

}  // namespace

namespace platform {

bool StartMusicDecode(const std::string& path) {
  return qb_page_music_start(path.c_str(), static_cast<int>(kMixRate)) != 0;
}

// The decoded music is made into the player's samples a piece at a time,
// one piece each time the mixer asks (every block), so that no turn of the
// page's thread takes long: a few minutes of music at once held the page
// a fifth of a second.
MusicState TakeDecodedMusic(const std::string& path, DecodedMusic* music) {
  static std::string takingPath;
  static DecodedMusic taking;
  static int taken = 0;  // frames made so far
  const int frames = qb_page_music_frames(path.c_str());
  if (frames == 0) return MusicState::kPending;
  if (frames < 0) return MusicState::kFailed;
  if (takingPath != path || taking.frames != static_cast<uint64_t>(frames)) {
    takingPath = path;
    taken = 0;
    taking.rate = kMixRate;
    taking.channels = 2;
    taking.frames = static_cast<uint64_t>(frames);
    taking.pcm.clear();
    taking.pcm.reserve(static_cast<size_t>(frames) * 2 * sizeof(int16_t));  // filled piece by piece, not zeroed first
  }
  constexpr int kPiece = 32768;  // about 5 ms of work
  static std::vector<float> left(kPiece), right(kPiece);
  const int count = std::min(kPiece, frames - taken);
  taking.pcm.resize(static_cast<size_t>(taken + count) * 2 * sizeof(int16_t));
  auto* out = reinterpret_cast<int16_t*>(taking.pcm.data());
  qb_page_music_channels(path.c_str(), left.data(), right.data(), taken, count);
  InterleavePcm16(left.data(), right.data(), static_cast<size_t>(count), out + 2 * static_cast<size_t>(taken));
  taken += count;
  if (taken < frames) return MusicState::kPending;
  qb_page_music_taken(path.c_str());
  *music = std::move(taking);
  taking = DecodedMusic();
  takingPath.clear();
  return MusicState::kReady;
}

}  // namespace platform

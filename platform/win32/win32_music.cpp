// The music decoder of the Windows build: the file is read and checked for
// MP3 frames at once (so a missing or foreign file fails the open), then
// Windows' codec decodes it on a thread of its own while the program goes
// on; the player takes the samples when they are there.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/device/music_decoder.h"
#include "platform/media/mp3_frames.h"
#include "platform/posix/file_read.h"
#include "platform/win32/win32_mp3.h"

namespace platform {
namespace {

struct Decoding {
  MusicState state = MusicState::kPending;
  DecodedMusic music;
};

std::mutex& DecodingLock() {
  static std::mutex m;
  return m;
}
// Kept for the process's life: a decoding thread may outlive main().
std::map<std::string, std::shared_ptr<Decoding>>& Decodings() {
  static auto* decodings = new std::map<std::string, std::shared_ptr<Decoding>>();
  return *decodings;
}

}  // namespace

bool StartMusicDecode(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(DecodingLock());
    if (Decodings().count(path)) return true;  // already coming
  }
  auto file = std::make_shared<std::string>();
  if (ReadRegularFile(path, kMaxWin32MusicFile, file.get()) != ReadResult::kOk) return false;
  // Scanned once, here: the decoder is fed the frames found.
  auto stream = std::make_shared<Mp3Stream>();
  if (!ScanMp3(reinterpret_cast<const uint8_t*>(file->data()), file->size(), stream.get())) return false;
  auto decoding = std::make_shared<Decoding>();
  {
    std::lock_guard<std::mutex> lock(DecodingLock());
    Decodings()[path] = decoding;
  }
  // Detached: the player may close the music before it is decoded, and
  // the program may end meanwhile; the thread owns what it works on.
  std::thread([file, stream, decoding] {
    DecodedMusic music;
    const bool ok = DecodeMp3WithAcm(reinterpret_cast<const uint8_t*>(file->data()), *stream, &music);
    std::lock_guard<std::mutex> lock(DecodingLock());
    decoding->music = std::move(music);
    decoding->state = ok ? MusicState::kReady : MusicState::kFailed;
  }).detach();
  return true;
}

MusicState TakeDecodedMusic(const std::string& path, DecodedMusic* music) {
  std::lock_guard<std::mutex> lock(DecodingLock());
  auto it = Decodings().find(path);
  if (it == Decodings().end()) return MusicState::kFailed;
  const MusicState state = it->second->state;
  if (state == MusicState::kPending) return state;
  if (state == MusicState::kReady) *music = std::move(it->second->music);
  Decodings().erase(it);
  return state;
}

}  // namespace platform

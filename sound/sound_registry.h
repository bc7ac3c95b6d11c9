// The game's named sounds: each name maps to the id under which the sound
// library holds the sample, and the music and effect switches are passed on
// to the library. One global instance, used from the main thread only.
#pragma once

#include <cstdint>

#include "platform/win/wintypes.h"
#include "sound/gx_sound.h"

struct SoundEntry {
  int32_t id;
  char name[32];
};

class SoundRegistry {
 public:
  SoundRegistry() = default;
  SoundRegistry(const SoundRegistry&) = delete;
  SoundRegistry& operator=(const SoundRegistry&) = delete;
  ~SoundRegistry();

  int Init(HWND window, int capacity);
  // Loads path under the next id (entries + 10). Returns the new entry, or
  // null when the library refused the file or the name does not fit in 31
  // characters (such a name could never be found again exactly).
  SoundEntry* LoadSample(const char* path, const char* name);
  SNDSample* Play(const char* name, int volume, int pan);
  SoundEntry* Find(const char* name);
  void FreeAll();
  void Shutdown();
  void EnableMusic(int flag);
  void EnableSFX(int flag);

  int Count() const { return count_; }

 private:
  void Append(SoundEntry* entry);
  SoundEntry** entries_ = nullptr;
  int count_ = 0;
  int capacity_ = 0;
};

// The game's one sound library object and its registry.
extern GXSound gxSound;
extern SoundRegistry soundRegistry;

#include "sound/sound_registry.h"

#include <cstdlib>
#include <cstring>

GXSound gxSound;
SoundRegistry soundRegistry;

SoundRegistry::~SoundRegistry() {
  // The library itself is ended by Shutdown; only the entries go here.
  for (int i = 0; i < count_; ++i) delete entries_[i];
  std::free(entries_);
}

int SoundRegistry::Init(HWND window, int capacity) {
  for (int i = 0; i < count_; ++i) delete entries_[i];
  std::free(entries_);
  entries_ = static_cast<SoundEntry**>(std::malloc(sizeof(SoundEntry*)));
  capacity_ = entries_ ? 1 : 0;
  count_ = 0;
  return gxSound.Init(window, capacity);
}

void SoundRegistry::Append(SoundEntry* entry) {
  if (count_ == capacity_) {
    int grown = capacity_ ? capacity_ * 2 : 1;
    auto* list = static_cast<SoundEntry**>(std::realloc(entries_, sizeof(SoundEntry*) * grown));
    if (!list) {
      delete entry;
      return;
    }
    entries_ = list;
    capacity_ = grown;
  }
  entries_[count_++] = entry;
}

SoundEntry* SoundRegistry::LoadSample(const char* path, const char* name) {
  if (!name || std::strlen(name) > 31) return nullptr;
  int32_t id = count_ + 10;
  if (!gxSound.LoadSample(path, static_cast<uint32_t>(id))) return nullptr;
  auto* entry = new SoundEntry{id, {}};
  std::memcpy(entry->name, name, std::strlen(name) + 1);
  int before = count_;
  Append(entry);
  return count_ > before ? entry : nullptr;
}

SoundEntry* SoundRegistry::Find(const char* name) {
  if (!name) return nullptr;
  for (int i = 0; i < count_; ++i) {
    if (std::strcmp(entries_[i]->name, name) == 0) return entries_[i];
  }
  return nullptr;
}

SNDSample* SoundRegistry::Play(const char* name, int volume, int pan) {
  SoundEntry* entry = Find(name);
  if (!entry) return nullptr;
  return gxSound.PlaySample(static_cast<uint32_t>(entry->id), volume, pan);
}

void SoundRegistry::FreeAll() {
  for (int i = 0; i < count_; ++i) {
    gxSound.FreeSample(static_cast<uint32_t>(entries_[i]->id));
    delete entries_[i];
  }
  count_ = 0;
  gxSound.StopStream();
  GXSound::ClearSampleList();
}

void SoundRegistry::Shutdown() {
  FreeAll();
  std::free(entries_);
  entries_ = nullptr;
  capacity_ = 0;
  gxSound.Exit();
}

void SoundRegistry::EnableMusic(int flag) { gxSound.EnableMusic(flag); }
void SoundRegistry::EnableSFX(int flag) { gxSound.EnableSFX(flag); }

// SNDSample: reading a RIFF WAVE file through the file hooks into a static
// sound buffer, and the per-sample play operations.
#include <cstring>

#include "sound/gx_sound.h"

namespace {

constexpr uint32_t FourCC(const char* s) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool ReadExactly(HANDLE file, void* buffer, DWORD bytes) {
  DWORD read = 0;
  return ReadFile(file, buffer, bytes, &read, nullptr) && read == bytes;
}

// The file's length, leaving the position where it was.
bool FileLength(HANDLE file, uint32_t* length) {
  DWORD here = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
  if (here == INVALID_SET_FILE_POINTER) return false;
  DWORD end = SetFilePointer(file, 0, nullptr, FILE_END);
  if (end == INVALID_SET_FILE_POINTER) return false;
  *length = end;
  return SetFilePointer(file, static_cast<LONG>(here), nullptr, FILE_BEGIN) == here;
}

}  // namespace

SNDSample& SNDSample::operator=(const SNDSample& o) {
  flags = o.flags.load();
  id = o.id.load();
  dataSize = o.dataSize.load();
  sampleRate = o.sampleRate.load();
  bitsPerSample = o.bitsPerSample.load();
  channels = o.channels.load();
  pausePosition = o.pausePosition.load();
  volume = o.volume.load();
  pan = o.pan.load();
  pitch = o.pitch.load();
  loopStart = o.loopStart.load();
  loopEnd = o.loopEnd.load();
  loopPlayCount = o.loopPlayCount.load();
  buffer = o.buffer.load();
  notifyOffset = o.notifyOffset.load();
  notifyEvent = o.notifyEvent.load();
  next = o.next.load();
  return *this;
}

void SNDSample::Reset() {
  // Everything else first: a slot counts as free once its flags are 0.
  id = 0;
  dataSize = 0;
  sampleRate = 0;
  bitsPerSample = 0;
  channels = 0;
  pausePosition = 0;
  volume = 0;
  pan = 0;
  pitch = 0;
  loopStart = 0;
  loopEnd = 0;
  loopPlayCount = 0;
  buffer = nullptr;
  notifyOffset = 0;
  notifyEvent = nullptr;
  next = nullptr;
  flags = 0;
}

HANDLE SNDSample::OpenSoundFile(const char* path) {
  HANDLE file = GXSound::g_pOpenFile ? GXSound::g_pOpenFile(path) : GXSound::DefaultOpenFile(path);
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return INVALID_HANDLE_VALUE;
  if (!IsWavFile(file)) {
    GXSound::g_pCloseFile ? GXSound::g_pCloseFile(file) : GXSound::DefaultCloseFile(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

int SNDSample::FindRiffChunk(HANDLE file, uint32_t id, uint32_t* header, uint32_t start) {
  uint32_t length;
  if (!FileLength(file, &length)) return 0;
  if (SetFilePointer(file, static_cast<LONG>(start), nullptr, FILE_BEGIN) != start) return 0;
  uint64_t position = start;
  for (;;) {
    uint8_t raw[8];
    if (!ReadExactly(file, raw, 8)) return 0;
    position += 8;
    header[0] = Get32(raw);
    header[1] = Get32(raw + 4);
    // A chunk that claims more bytes than the file holds is damage, not data.
    if (position + header[1] > length) return 0;
    if (header[0] == id) return 1;
    // Chunks are padded to an even length.
    position += header[1] + (header[1] & 1u);
    if (position > length) return 0;
    if (SetFilePointer(file, static_cast<LONG>(position), nullptr, FILE_BEGIN) != position) return 0;
  }
}

int SNDSample::IsWavFile(HANDLE file) {
  uint8_t riff[12];
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 || !ReadExactly(file, riff, 12)) return 0;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return 0;
  const uint32_t afterHeader = 12;

  uint32_t header[2];
  if (!FindRiffChunk(file, FourCC("fmt "), header, afterHeader)) return 0;
  if (header[1] < 16) return 0;
  uint8_t fmt[16];
  if (!ReadExactly(file, fmt, 16)) return 0;
  uint16_t tag = Get16(fmt);
  uint16_t nChannels = Get16(fmt + 2);
  uint32_t rate = Get32(fmt + 4);
  uint16_t blockAlign = Get16(fmt + 12);
  uint16_t bits = Get16(fmt + 14);
  if (tag != WAVE_FORMAT_PCM || nChannels == 0 || rate == 0 || bits == 0 || bits % 8 != 0) return 0;
  // Two 16-bit fields multiplied as int can overflow; in 32 unsigned bits they cannot.
  if (blockAlign != uint32_t{nChannels} * bits / 8) return 0;
  sampleRate = rate;
  channels = nChannels;
  bitsPerSample = bits;
  flags |= SNDF_FORMAT;

  if (FindRiffChunk(file, FourCC("smpl"), header, afterHeader) && header[1] >= 36) {
    uint8_t smpl[36];
    if (ReadExactly(file, smpl, 36) && Get32(smpl + 28) != 0 && header[1] >= 36 + 24) {
      uint8_t loop[24];
      if (ReadExactly(file, loop, 24)) {
        // Loop points are sample frames; the buffer is addressed in bytes.
        loopStart = Get32(loop + 8) * blockAlign;
        loopEnd = Get32(loop + 12) * blockAlign;
        loopPlayCount = Get32(loop + 20);
        flags |= SNDF_LOOPING;
      }
    }
  }

  if (!FindRiffChunk(file, FourCC("data"), header, afterHeader)) return 0;
  dataSize = header[1];
  return 1;
}

int SNDSample::AllocDSBuffer(uint32_t bytes) {
  IDirectSound* ds = GXSound::g_lpDSound;
  if (!ds) return 0;
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = static_cast<WORD>(channels.load());
  format.nSamplesPerSec = sampleRate;
  format.wBitsPerSample = static_cast<WORD>(bitsPerSample.load());
  format.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * sampleRate;
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLPOSITIONNOTIFY;
  desc.dwBufferBytes = bytes ? bytes : dataSize.load();
  desc.lpwfxFormat = &format;
  IDirectSoundBuffer* created = nullptr;
  if (FAILED(ds->CreateSoundBuffer(&desc, &created, nullptr)) || !created) return 0;
  buffer = created;
  return 1;
}

int SNDSample::LoadSample(const char* path, uint32_t newId) {
  HANDLE file = OpenSoundFile(path);
  if (file == INVALID_HANDLE_VALUE) return 0;
  int ok = 0;
  if (AllocDSBuffer(0)) {
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    IDirectSoundBuffer* b = buffer;
    if (SUCCEEDED(b->Lock(0, dataSize, &part1, &bytes1, &part2, &bytes2, 0))) {
      DWORD read = 0;
      if (ReadFile(file, part1, bytes1, &read, nullptr) && read == bytes1) {
        if (newId != 0xFFFFFFFFu) id = newId;
        ok = 1;
      }
      b->Unlock(part1, bytes1, part2, bytes2);
    }
    if (!ok) {
      b->Release();
      buffer = nullptr;
    }
  }
  GXSound::g_pCloseFile ? GXSound::g_pCloseFile(file) : GXSound::DefaultCloseFile(file);
  return ok;
}

int SNDSample::PlaySample(int vol, int panValue) {
  GXSound* sound = GXSound::g_pSound;
  if (sound && !sound->sfxEnabled) {
    // The lookup claimed this slot for the play; a play that is skipped must give it back,
    // or every silenced play keeps a copy for good and the store fills up.
    flags &= ~SNDF_CLAIMED;
    return 1;
  }
  IDirectSoundBuffer* b = buffer;
  if (!b) return 0;
  SetPan(panValue);
  SetVolume(vol);
  if (next) {
    _SNDEvent* event = GXSound::AllocSoundEvent();
    IDirectSoundNotify* notify = nullptr;
    bool canNotify = SUCCEEDED(b->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)));
    if (event && canNotify) {
      event->sample = this;
      notifyOffset = DSBPN_OFFSETSTOP;
      notifyEvent = event->event;
      flags |= SNDF_WAITING;
      DSBPOSITIONNOTIFY position{DSBPN_OFFSETSTOP, event->event};
      notify->SetNotificationPositions(1, &position);
    } else {
      if (event) GXSound::FreeSoundEvent(event);
      // No event left: this play starts no successor, and an earlier
      // registration must not wake an event that now serves another sample.
      if (canNotify) notify->SetNotificationPositions(0, nullptr);
    }
    if (notify) notify->Release();
  }
  flags &= ~SNDF_CLAIMED;
  return SUCCEEDED(b->Play(0, 0, (flags & SNDF_LOOPING) ? DSBPLAY_LOOPING : 0)) ? 1 : 0;
}

int SNDSample::StopSample() {
  IDirectSoundBuffer* b = buffer;
  return b && SUCCEEDED(b->Stop()) ? 1 : 0;
}

int SNDSample::PauseSample() {
  IDirectSoundBuffer* b = buffer;
  if (!b || FAILED(b->Stop())) return 0;
  DWORD play = 0;
  if (FAILED(b->GetCurrentPosition(&play, nullptr))) return 0;
  pausePosition = play;
  flags |= SNDF_PAUSED;
  return 1;
}

int SNDSample::UnPauseSample() {
  IDirectSoundBuffer* b = buffer;
  if (!b || !(flags & SNDF_PAUSED)) return 0;
  b->SetCurrentPosition(pausePosition);
  flags &= ~SNDF_PAUSED;
  return SUCCEEDED(b->Play(0, 0, (flags & SNDF_LOOPING) ? DSBPLAY_LOOPING : 0)) ? 1 : 0;
}

HRESULT SNDSample::GetSampleStatus() {
  IDirectSoundBuffer* b = buffer;
  DWORD status = 0;
  if (!b || FAILED(b->GetStatus(&status))) return E_INVALIDARG;
  return static_cast<HRESULT>(status);
}

int SNDSample::SamplePlaying() {
  HRESULT status = GetSampleStatus();
  return status != E_INVALIDARG && (static_cast<DWORD>(status) & DSBSTATUS_PLAYING) ? 1 : 0;
}

int SNDSample::SetVolume(int v) {
  IDirectSoundBuffer* b = buffer;
  if (!b) return 0;
  volume = v;
  return SUCCEEDED(b->SetVolume(GXSound::MapVolume(v))) ? 1 : 0;
}

int SNDSample::SetPan(int p) {
  IDirectSoundBuffer* b = buffer;
  if (!b) return 0;
  pan = p;
  return SUCCEEDED(b->SetPan(GXSound::MapPan(p))) ? 1 : 0;
}

int SNDSample::SetPitch(uint32_t hertz) {
  IDirectSoundBuffer* b = buffer;
  if (!b) return 0;
  pitch = hertz;
  return SUCCEEDED(b->SetFrequency(hertz)) ? 1 : 0;
}

SNDSample* SNDSample::DupeSample() {
  IDirectSoundBuffer* b = buffer;
  if (!b || !GXSound::g_lpDSound) return nullptr;
  SNDSample* copy = GXSound::AllocSample();
  if (!copy) return nullptr;
  IDirectSoundBuffer* dup = nullptr;
  if (FAILED(GXSound::g_lpDSound->DuplicateSoundBuffer(b, &dup)) || !dup) {
    GXSound::ClearSample(copy);
    return nullptr;
  }
  copy->buffer = dup;
  copy->id = id.load();
  copy->dataSize = dataSize.load();
  copy->sampleRate = sampleRate.load();
  copy->bitsPerSample = bitsPerSample.load();
  copy->channels = channels.load();
  if (flags & SNDF_LOOPING) {
    copy->loopStart = loopStart.load();
    copy->loopEnd = loopEnd.load();
    copy->loopPlayCount = loopPlayCount.load();
  }
  copy->next = nullptr;
  copy->flags |= SNDF_DUPLICATE;
  return copy;
}

SNDSample* SNDSample::ChainSample(SNDSample* first, SNDSample* second) {
  if (!first || !second) return second;
  SNDSample* last = first;
  while (SNDSample* n = last->next) last = n;
  last->next = second;
  return first;
}

// GXSound: start-up and shut-down of the library, the sample store (one
// memory block for event handles, sound events and samples), lookups with
// duplication for overlapping plays, the volume and pan tables, and the
// callback thread that starts chained samples.
#include "sound/gx_sound.h"

#include <cmath>
#include <new>

#include "platform/win/files.h"
#include "platform/win/mmtimer.h"

IDirectSound* GXSound::g_lpDSound = nullptr;
IDirectSoundBuffer* GXSound::g_lpSoundBuffer = nullptr;
DSCAPS GXSound::g_DSCaps = {};
int GXSound::g_nMaxSampleCount = 0;
int GXSound::g_nMaxEventCount = 0;
HGLOBAL GXSound::g_MemHandle = nullptr;
HANDLE* GXSound::g_CallBackHandles = nullptr;
_SNDEvent* GXSound::g_EventList = nullptr;
SNDSample* GXSound::g_SampleList = nullptr;
std::atomic<SNDSample*> GXSound::g_pLastSample{nullptr};
SNDSample* GXSound::g_pEndSample = nullptr;
SNDOpenFileFunc GXSound::g_pOpenFile = GXSound::DefaultOpenFile;
SNDCloseFileFunc GXSound::g_pCloseFile = GXSound::DefaultCloseFile;
HANDLE GXSound::g_CallBackThread = nullptr;
std::atomic<int> GXSound::g_nCallBackThreadActive{0};
std::atomic<GXSound*> GXSound::g_pSound{nullptr};

// Entry 0 is silence; entry i is 1000 × log2(i / 16384) hundredths of a dB,
// so each halving of the index is 10 dB down.
int16_t GXSound::g_VolumeTable[16384];
static const bool g_volumeTableBuilt = [] {
  GXSound::g_VolumeTable[0] = -10000;
  for (int i = 1; i < 16384; ++i) {
    double db = 1000.0 * std::log2(i / 16384.0);
    int v = static_cast<int>(db);  // toward zero
    GXSound::g_VolumeTable[i] = static_cast<int16_t>(v < -10000 ? -10000 : v);
  }
  return true;
}();

GXSound& GXSound::operator=(const GXSound& other) {
  musicLevel = other.musicLevel;
  musicEnabled = other.musicEnabled.load();
  sfxEnabled = other.sfxEnabled.load();
  return *this;
}

// ------------------------------------------------------------ start and end

int GXSound::Init(HWND window, int maxSamples) {
  g_FillThread = nullptr;
  sfxEnabled = 1;
  musicEnabled = 1;
  musicLevel = 0x8000;
  g_nMaxSampleCount = maxSamples;
  g_pSound = this;
  if (!AllocSampleBuffers()) return 0;
  if (FAILED(DirectSoundCreate(nullptr, &g_lpDSound, nullptr)) || !g_lpDSound) {
    g_lpDSound = nullptr;
    release_sample_buffers();
    return 0;
  }
  if (FAILED(g_lpDSound->SetCooperativeLevel(window, DSSCL_EXCLUSIVE))) {
    g_lpDSound->Release();
    g_lpDSound = nullptr;
    release_sample_buffers();
    return 0;
  }
  g_DSCaps = {};
  g_DSCaps.dwSize = sizeof(DSCAPS);
  g_lpDSound->GetCaps(&g_DSCaps);
  if (!CreateMainBuffer()) {
    // Without a primary buffer the library runs without samples.
    release_sample_buffers();
    SetFileOpenFunc(nullptr);
    SetFileCloseFunc(nullptr);
    return 1;
  }
  SetFileOpenFunc(nullptr);
  SetFileCloseFunc(nullptr);
  setup_callback();
  return 1;
}

int GXSound::CreateMainBuffer() {
  DSBUFFERDESC desc{};
  desc.dwSize = sizeof(DSBUFFERDESC);
  desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
  if (FAILED(g_lpDSound->CreateSoundBuffer(&desc, &g_lpSoundBuffer, nullptr)) || !g_lpSoundBuffer) {
    g_lpSoundBuffer = nullptr;
    return 0;
  }
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = (g_DSCaps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
  format.wBitsPerSample = (g_DSCaps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
  format.nSamplesPerSec = 22050;
  format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
  format.nAvgBytesPerSec = format.nBlockAlign * 22050u;
  g_lpSoundBuffer->SetFormat(&format);
  DSBCAPS caps{};
  caps.dwSize = sizeof(DSBCAPS);
  g_lpSoundBuffer->GetCaps(&caps);
  g_lpSoundBuffer->GetFormat(&format, sizeof(format), nullptr);
  if (FAILED(g_lpSoundBuffer->Play(0, 0, DSBPLAY_LOOPING))) {
    g_lpSoundBuffer->Release();
    g_lpSoundBuffer = nullptr;
    return 0;
  }
  return 1;
}

void GXSound::Exit() {
  StopStream();
  end_fill_thread();
  close_callback();
  if (g_SampleList) {
    for (SNDSample* s = g_SampleList; s < g_pLastSample.load(); ++s) {
      if (s->flags & SNDF_INUSE) FreeSample(s);
    }
  }
  release_sample_buffers();
  if (g_lpSoundBuffer) {
    g_lpSoundBuffer->Stop();
    g_lpSoundBuffer->Release();
    g_lpSoundBuffer = nullptr;
  }
  if (g_lpDSound) {
    g_lpDSound->Release();
    g_lpDSound = nullptr;
  }
  if (g_pSound == this) g_pSound = nullptr;
}

void GXSound::MemCleanup() {
  if (g_lpDSound) g_lpDSound->Compact();
}

// ------------------------------------------------------------ the sample store

int GXSound::AllocSampleBuffers() {
  release_sample_buffers();
  int n = g_nMaxSampleCount;
  if (n <= 0) return 0;
  g_nMaxEventCount = n + 1 < 64 ? n + 1 : 64;  // the most handles one wait can take
  size_t bytes = sizeof(HANDLE) * g_nMaxEventCount + sizeof(_SNDEvent) * g_nMaxEventCount + sizeof(SNDSample) * n;
  g_MemHandle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!g_MemHandle) return 0;
  auto* base = static_cast<uint8_t*>(GlobalLock(g_MemHandle));
  if (!base) {
    GlobalFree(g_MemHandle);
    g_MemHandle = nullptr;
    return 0;
  }
  g_CallBackHandles = reinterpret_cast<HANDLE*>(base);
  auto* events = base + sizeof(HANDLE) * g_nMaxEventCount;
  g_EventList = reinterpret_cast<_SNDEvent*>(events);
  for (int i = 0; i < g_nMaxEventCount; ++i) new (&g_EventList[i]) _SNDEvent{nullptr, {nullptr}};
  auto* samples = events + sizeof(_SNDEvent) * g_nMaxEventCount;
  g_SampleList = reinterpret_cast<SNDSample*>(samples);
  for (int i = 0; i < n; ++i) new (&g_SampleList[i]) SNDSample();
  g_pLastSample = g_SampleList;
  g_pEndSample = g_SampleList + n;
  return 1;
}

void GXSound::release_sample_buffers() {
  if (!g_MemHandle) return;
  for (SNDSample* s = g_SampleList; s < g_pEndSample; ++s) s->~SNDSample();
  for (int i = 0; i < g_nMaxEventCount; ++i) g_EventList[i].~_SNDEvent();
  GlobalUnlock(g_MemHandle);
  GlobalFree(g_MemHandle);
  g_MemHandle = nullptr;
  g_CallBackHandles = nullptr;
  g_EventList = nullptr;
  g_SampleList = nullptr;
  g_pLastSample = nullptr;
  g_pEndSample = nullptr;
}

void GXSound::ClearSampleList() {
  if (!g_SampleList) return;
  for (SNDSample* s = g_SampleList; s < g_pEndSample; ++s) {
    // A slot still holding a buffer here (a copy busy when its sound was
    // freed) would otherwise keep it for the rest of the run.
    IDirectSoundBuffer* b = s->buffer;
    if (b && s != g_StreamInfo.sample.load()) {
      b->Stop();
      b->Release();
    }
    if (s != g_StreamInfo.sample.load()) s->Reset();
  }
  g_pLastSample = g_SampleList;
}

void GXSound::ClearSample(SNDSample* sample) {
  if (!sample) return;
  sample->Reset();
  SNDSample* lastInUse = nullptr;
  for (SNDSample* s = sample; s < g_pLastSample.load(); ++s) {
    if (s->flags & SNDF_INUSE) lastInUse = s;
  }
  if (lastInUse) g_pLastSample = lastInUse + 1;
}

SNDSample* GXSound::AllocSample() {
  if (!g_SampleList) return nullptr;
  for (SNDSample* s = g_SampleList; s < g_pEndSample; ++s) {
    if (!(s->flags & SNDF_INUSE)) {
      if (s >= g_pLastSample.load()) g_pLastSample = s + 1;
      s->flags = SNDF_INUSE;
      return s;
    }
  }
  return nullptr;
}

// ------------------------------------------------------------ samples

int GXSound::LoadSample(const char* path, uint32_t id) {
  if (FindSample(id)) return 1;  // already loaded; note the lookup leaves it claimed
  SNDSample* s = AllocSample();
  if (!s) return 0;
  if (!s->LoadSample(path, id)) {
    ClearSample(s);
    platform::ReportUnloadable("sound", path);
    return 0;
  }
  return 1;
}

SNDSample* GXSound::FindSample(uint32_t id) {
  if (!g_SampleList) return nullptr;
  SNDSample* taken = nullptr;
  SNDSample* source = nullptr;
  for (SNDSample* s = g_SampleList; s < g_pLastSample.load(); ++s) {
    uint32_t f = s->flags;
    if (!(f & SNDF_INUSE)) continue;
    bool busy = (f & SNDF_CLAIMED) || s->SamplePlaying();
    if (s->id == id) {
      if (!busy) {
        taken = s;
        break;
      }
      if (!source && !(f & SNDF_DUPLICATE)) source = s;
    } else if ((f & SNDF_DUPLICATE) && !busy) {
      FreeSample(s);  // an idle copy of another sound is collected on the way
    }
  }
  if (!taken && source) taken = source->DupeSample();
  if (taken) taken->flags |= SNDF_CLAIMED;
  return taken;
}

SNDSample* GXSound::PlaySample(uint32_t id, int volume, int pan) {
  SNDSample* s = FindSample(id);
  if (s) s->PlaySample(volume, pan);
  return s;
}

int GXSound::PlaySampleIDOnce(uint32_t id, int volume, int pan) {
  if (!sfxEnabled) return 1;
  SNDSample* s = FindSample(id);
  if (!s) return 0;
  IDirectSoundBuffer* b = s->buffer;
  if (!b || s->SamplePlaying()) return 0;
  s->SetPan(pan);
  s->SetVolume(volume);
  s->flags &= ~SNDF_CLAIMED;
  return SUCCEEDED(b->Play(0, 0, (s->flags & SNDF_LOOPING) ? DSBPLAY_LOOPING : 0)) ? 1 : 0;
}

void GXSound::FreeSample(uint32_t id) { FreeSample(FindSample(id)); }

void GXSound::FreeSample(SNDSample* sample) {
  if (!sample) return;
  IDirectSoundBuffer* b = sample->buffer;
  if (!b) return;
  if (sample->SamplePlaying()) b->Stop();
  b->Release();
  sample->buffer = nullptr;
  ClearSample(sample);
}

void GXSound::FlushSamples() {
  if (!g_SampleList) return;
  for (SNDSample* s = g_SampleList; s < g_pEndSample; ++s) {
    uint32_t f = s->flags;
    if ((f & SNDF_INUSE) && (f & SNDF_DUPLICATE) && !(f & SNDF_CLAIMED) && !s->SamplePlaying()) FreeSample(s);
  }
}

void GXSound::EnableSFX(int on) { sfxEnabled = on; }

void GXSound::EnableMusic(int on) {
  if (!on) StopStream();
  musicEnabled = on;
}

// ------------------------------------------------------------ mapping

int GXSound::MapVolume(int volume) {
  int index;
  if (volume > 0xFFFF) {
    index = 0x3FFF;
  } else if (volume < 0) {
    index = 0;
  } else {
    index = volume >> 2;
  }
  return g_VolumeTable[index];
}

int GXSound::MapPan(int pan) {
  if (pan > 0xFFFF) return -10000;
  if (pan >= 0x8000) return g_VolumeTable[0x3FFF - (((pan - 0x8000) / 2) & 0x3FFF)];
  if (pan >= 1) return -g_VolumeTable[(pan / 2) & 0x3FFF];
  return 10000;
}

// ------------------------------------------------------------ file hooks

HANDLE GXSound::DefaultOpenFile(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int GXSound::DefaultCloseFile(HANDLE file) { return CloseHandle(file); }

void GXSound::SetFileOpenFunc(SNDOpenFileFunc fn) { g_pOpenFile = fn ? fn : DefaultOpenFile; }
void GXSound::SetFileCloseFunc(SNDCloseFileFunc fn) { g_pCloseFile = fn ? fn : DefaultCloseFile; }

// ------------------------------------------------------------ chains

// Both the caller's thread and the callback thread (starting a chain's
// next sample) take events, so a free event is reserved with a
// compare-exchange before its sample is bound.
static SNDSample* const kReservedEvent = reinterpret_cast<SNDSample*>(alignof(SNDSample));

_SNDEvent* GXSound::AllocSoundEvent() {
  if (!g_EventList) return nullptr;
  for (int i = 1; i < g_nMaxEventCount; ++i) {
    SNDSample* expected = nullptr;
    if (g_EventList[i].event && g_EventList[i].sample.compare_exchange_strong(expected, kReservedEvent)) {
      return &g_EventList[i];
    }
  }
  return nullptr;
}

void GXSound::FreeSoundEvent(_SNDEvent* event) {
  if (event) event->sample = nullptr;
}

int GXSound::setup_callback() {
  if (!g_EventList) return 0;
  for (int i = 0; i < g_nMaxEventCount; ++i) {
    HANDLE e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    g_EventList[i].event = e;
    g_EventList[i].sample = nullptr;
    g_CallBackHandles[i] = e;
  }
  // Marked active before the thread runs, so that an early Exit still
  // signals it and waits for it.
  g_nCallBackThreadActive = 1;
  g_CallBackThread = CreateThread(nullptr, 0, CallBack, nullptr, 0, nullptr);
  if (!g_CallBackThread) g_nCallBackThreadActive = 0;
  return g_CallBackThread ? 1 : 0;
}

void GXSound::close_callback() {
  if (g_CallBackThread) {
    SetEvent(g_CallBackHandles[0]);
    WaitForSingleObject(g_CallBackThread, INFINITE);  // returns once the thread has cleared its flag
    CloseHandle(g_CallBackThread);
    g_CallBackThread = nullptr;
  }
  if (!g_EventList) return;
  for (int i = 0; i < g_nMaxEventCount; ++i) {
    if (g_EventList[i].event) CloseHandle(g_EventList[i].event);
    g_EventList[i].event = nullptr;
    g_EventList[i].sample = nullptr;
    g_CallBackHandles[i] = nullptr;
  }
}

DWORD GXSound::CallBack(void*) {
  g_nCallBackThreadActive = 1;
  DWORD result = 0;
  for (;;) {
    DWORD r = WaitForMultipleObjects(static_cast<DWORD>(g_nMaxEventCount), g_CallBackHandles, FALSE, INFINITE);
    if (r == WAIT_FAILED || r >= WAIT_OBJECT_0 + static_cast<DWORD>(g_nMaxEventCount)) {
      result = 1;
      break;
    }
    DWORD i = r - WAIT_OBJECT_0;
    if (i == 0) break;
    _SNDEvent& event = g_EventList[i];
    SNDSample* sample = event.sample;
    if (!sample || sample == kReservedEvent) continue;
    FreeSoundEvent(&event);
    if (SNDSample* next = sample->next) next->PlaySample(sample->volume, sample->pan);
    sample->flags &= ~SNDF_WAITING;
  }
  g_nCallBackThreadActive = 0;
  return result;
}

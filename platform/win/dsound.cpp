// Sound buffers on the mixer. A buffer's bytes live in a shared vector so
// that a duplicate plays the same data with a cursor of its own; every
// playing-state field lives in the buffer's MixVoice under the mixer lock.
#include "platform/win/dsound.h"

#include <algorithm>
#include <cstring>

#include "platform/device/audio_output.h"
#include "platform/win/sync.h"

const GUID IID_IDirectSoundNotify = {0xB0210783u, 0x89CDu, 0x11D0u, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};

namespace {

constexpr DWORD kMinBufferBytes = 4;
constexpr DWORD kMaxBufferBytes = 0x0FFFFFFFu;

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

bool ValidPcm(const WAVEFORMATEX* f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && (f->nChannels == 1 || f->nChannels == 2) &&
         (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) && f->nSamplesPerSec >= DSBFREQUENCY_MIN &&
         f->nSamplesPerSec <= DSBFREQUENCY_MAX && f->nBlockAlign == f->nChannels * f->wBitsPerSample / 8;
}

std::mutex& M() { return platform::Mixer::Get().Lock(); }

}  // namespace

// ---------------------------------------------------------------- notify

HRESULT IDirectSoundNotify::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) {
  if (count > platform::kMaxNotifyPositions || (count && !positions)) return DSERR_INVALIDPARAM;
  platform::MixVoice& v = buffer_->voice_;
  for (DWORD i = 0; i < count; ++i) {
    if (positions[i].dwOffset != DSBPN_OFFSETSTOP && positions[i].dwOffset >= v.size) return DSERR_INVALIDPARAM;
  }
  std::lock_guard<std::mutex> lock(M());
  if (v.playing) return DSERR_INVALIDCALL;  // positions may only change while stopped
  for (DWORD i = 0; i < count; ++i) v.notify[i] = {positions[i].dwOffset, positions[i].hEventNotify};
  v.notifyCount = count;
  return DS_OK;
}

ULONG IDirectSoundNotify::AddRef() { return buffer_->AddRef(); }

ULONG IDirectSoundNotify::Release() {
  // The interface is a view of its buffer: one object per QueryInterface,
  // holding one reference.
  ULONG left = buffer_->Release();
  delete this;
  return left;
}

// ---------------------------------------------------------------- buffer

IDirectSoundBuffer::~IDirectSoundBuffer() {
  std::lock_guard<std::mutex> lock(M());
  platform::Mixer::Get().StopLocked(&voice_);
}

void IDirectSoundBuffer::UpdateGainsLocked() {
  platform::VolumePanToGains(volume_, pan_, &voice_.gainLeft, &voice_.gainRight);
}

HRESULT IDirectSoundBuffer::GetCaps(DSBCAPS* caps) {
  if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
  caps->dwFlags = flags_ | DSBCAPS_LOCSOFTWARE;
  caps->dwBufferBytes = (flags_ & DSBCAPS_PRIMARYBUFFER) ? platform::kMixRate / 10 * 4 : BufferBytes();
  caps->dwUnlockTransferRate = 0;
  caps->dwPlayCpuOverhead = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written) {
  if (!format) {
    if (!written) return DSERR_INVALIDPARAM;
    *written = sizeof(WAVEFORMATEX);
    return DS_OK;
  }
  if (size < sizeof(WAVEFORMATEX) - sizeof(WORD)) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  std::memcpy(format, &format_, std::min<size_t>(size, sizeof(WAVEFORMATEX)));
  if (written) *written = std::min<DWORD>(size, sizeof(WAVEFORMATEX));
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFormat(const WAVEFORMATEX* format) {
  if (!(flags_ & DSBCAPS_PRIMARYBUFFER)) return DSERR_INVALIDCALL;
  if (!ValidPcm(format)) return DSERR_BADFORMAT;
  // The mixer always renders 16-bit stereo at its own rate; the primary
  // format is kept and reported, as a software device would.
  std::lock_guard<std::mutex> lock(M());
  format_ = *format;
  format_.nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
  format_.cbSize = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetStatus(DWORD* status) {
  if (!status) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  *status = 0;
  if (voice_.playing) *status = DSBSTATUS_PLAYING | (voice_.looping ? DSBSTATUS_LOOPING : 0);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetCurrentPosition(DWORD* play, DWORD* write) {
  if (flags_ & DSBCAPS_PRIMARYBUFFER) {
    if (play) *play = 0;
    if (write) *write = 0;
    return DS_OK;
  }
  std::lock_guard<std::mutex> lock(M());
  DWORD p = voice_.ByteCursor();
  if (play) *play = p;
  if (write) {
    // While playing, the write cursor runs 10 ms ahead: the mixer may be
    // reading up to there.
    DWORD ahead = 0;
    if (voice_.playing) ahead = (voice_.frequency / 100 + 1) * voice_.blockAlign;
    *write = voice_.size ? (p + std::min<DWORD>(ahead, voice_.size - 1)) % voice_.size : 0;
  }
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetCurrentPosition(DWORD position) {
  if (flags_ & DSBCAPS_PRIMARYBUFFER) return DSERR_INVALIDCALL;
  if (position >= BufferBytes()) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  voice_.frame = position / voice_.blockAlign;
  voice_.fraction = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
                                 DWORD* bytes2, DWORD flags) {
  if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
  *part1 = nullptr;
  *bytes1 = 0;
  if (part2) *part2 = nullptr;
  if (bytes2) *bytes2 = 0;
  if (flags_ & DSBCAPS_PRIMARYBUFFER) return DSERR_PRIOLEVELNEEDED;
  DWORD size = BufferBytes();
  if (flags & DSBLOCK_FROMWRITECURSOR) GetCurrentPosition(nullptr, &offset);
  if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
  if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  uint8_t* base = data_->data();
  DWORD first = std::min(bytes, size - offset);
  *part1 = base + offset;
  *bytes1 = first;
  if (first < bytes) {
    if (!part2 || !bytes2) return DSERR_INVALIDPARAM;
    *part2 = base;
    *bytes2 = bytes - first;
  }
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) {
  if (flags_ & DSBCAPS_PRIMARYBUFFER) return DSERR_INVALIDCALL;
  auto inside = [this](void* p, DWORD n) {
    if (!p) return n == 0;
    auto* b = static_cast<uint8_t*>(p);
    uint8_t* base = data_->data();
    return b >= base && b + n <= base + BufferBytes();
  };
  if (!inside(part1, bytes1) || !inside(part2, bytes2)) return DSERR_INVALIDPARAM;
  // The mixer reads the shared bytes directly; ordering with the writer comes
  // from the mixer lock taken here.
  std::lock_guard<std::mutex> lock(M());
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Play(DWORD, DWORD, DWORD flags) {
  std::lock_guard<std::mutex> lock(M());
  if (flags_ & DSBCAPS_PRIMARYBUFFER) {
    voice_.playing = true;  // the primary buffer plays the mix; nothing to schedule
    voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
  }
  voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
  if (!platform::Mixer::Get().StartLocked(&voice_)) return DSERR_ALLOCATED;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Stop() {
  HANDLE stopEvents[platform::kMaxNotifyPositions];
  DWORD count = 0;
  {
    std::lock_guard<std::mutex> lock(M());
    if (flags_ & DSBCAPS_PRIMARYBUFFER) {
      voice_.playing = false;
      return DS_OK;
    }
    if (!voice_.playing) return DS_OK;
    platform::Mixer::Get().StopLocked(&voice_);
    for (uint32_t i = 0; i < voice_.notifyCount; ++i) {
      if (voice_.notify[i].offset == DSBPN_OFFSETSTOP) stopEvents[count++] = voice_.notify[i].event;
    }
  }
  for (DWORD i = 0; i < count; ++i) SetEvent(stopEvents[i]);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetVolume(LONG volume) {
  if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  volume_ = volume;
  UpdateGainsLocked();
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetVolume(LONG* volume) {
  if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
  if (!volume) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  *volume = volume_;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetPan(LONG pan) {
  if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  pan_ = pan;
  UpdateGainsLocked();
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetPan(LONG* pan) {
  if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
  if (!pan) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  *pan = pan_;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFrequency(DWORD frequency) {
  if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (frequency == 0) frequency = format_.nSamplesPerSec;  // 0 restores the data's own rate
  if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  voice_.frequency = frequency;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFrequency(DWORD* frequency) {
  if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
  if (!frequency) return DSERR_INVALIDPARAM;
  std::lock_guard<std::mutex> lock(M());
  *frequency = voice_.frequency;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::QueryInterface(const GUID& iid, void** object) {
  if (!object) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if (SameGuid(iid, IID_IDirectSoundNotify) && (flags_ & DSBCAPS_CTRLPOSITIONNOTIFY) &&
      !(flags_ & DSBCAPS_PRIMARYBUFFER)) {
    AddRef();
    *object = new IDirectSoundNotify(this);
    return DS_OK;
  }
  return DSERR_NOINTERFACE;
}

ULONG IDirectSoundBuffer::AddRef() { return ++refs_; }

ULONG IDirectSoundBuffer::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

// ---------------------------------------------------------------- device

HRESULT IDirectSound::SetCooperativeLevel(HWND, DWORD level) {
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  level_ = level;
  return DS_OK;
}

HRESULT IDirectSound::GetCaps(DSCAPS* caps) {
  if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
  std::memset(caps, 0, sizeof(DSCAPS));
  caps->dwSize = sizeof(DSCAPS);
  caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                  DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT |
                  DSCAPS_SECONDARY16BIT;
  caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
  caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
  caps->dwPrimaryBuffers = 1;
  return DS_OK;
}

HRESULT IDirectSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer) {
  if (!buffer) return DSERR_INVALIDPARAM;
  *buffer = nullptr;
  if (!desc || desc->dwSize != sizeof(DSBUFFERDESC) || outer) return DSERR_INVALIDPARAM;
  if (level_ == 0) return DSERR_PRIOLEVELNEEDED;
  auto* b = new IDirectSoundBuffer();
  b->flags_ = desc->dwFlags;
  if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
    if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) {
      delete b;
      return DSERR_INVALIDPARAM;
    }
    // A software device's primary buffer starts as 22 kHz 8-bit stereo.
    b->format_ = {WAVE_FORMAT_PCM, 2, 22050, 22050 * 2, 2, 8, 0};
    *buffer = b;
    return DS_OK;
  }
  const WAVEFORMATEX* f = desc->lpwfxFormat;
  if (!ValidPcm(f)) {
    delete b;
    return DSERR_BADFORMAT;
  }
  if (desc->dwBufferBytes < kMinBufferBytes || desc->dwBufferBytes > kMaxBufferBytes ||
      desc->dwBufferBytes < f->nBlockAlign) {
    delete b;
    return DSERR_INVALIDPARAM;
  }
  b->format_ = *f;
  b->format_.nAvgBytesPerSec = f->nSamplesPerSec * f->nBlockAlign;
  b->format_.cbSize = 0;
  try {
    // Starts silent: 0x80 is the 8-bit zero level.
    b->data_ = std::make_shared<std::vector<uint8_t>>(desc->dwBufferBytes, f->wBitsPerSample == 8 ? 0x80 : 0);
  } catch (const std::bad_alloc&) {
    delete b;
    return DSERR_OUTOFMEMORY;
  }
  platform::MixVoice& v = b->voice_;
  v.data = b->data_->data();
  v.size = desc->dwBufferBytes - desc->dwBufferBytes % f->nBlockAlign;
  v.channels = f->nChannels;
  v.bits = f->wBitsPerSample;
  v.blockAlign = f->nBlockAlign;
  v.frequency = f->nSamplesPerSec;
  b->UpdateGainsLocked();  // not yet shared with the mixer
  *buffer = b;
  return DS_OK;
}

HRESULT IDirectSound::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) {
  if (!duplicate) return DSERR_INVALIDPARAM;
  *duplicate = nullptr;
  if (!original || (original->flags_ & DSBCAPS_PRIMARYBUFFER)) return DSERR_INVALIDCALL;
  auto* b = new IDirectSoundBuffer();
  std::lock_guard<std::mutex> lock(M());
  b->flags_ = original->flags_;
  b->format_ = original->format_;
  b->data_ = original->data_;
  b->volume_ = original->volume_;
  b->pan_ = original->pan_;
  platform::MixVoice& v = b->voice_;
  const platform::MixVoice& o = original->voice_;
  v.data = o.data;
  v.size = o.size;
  v.channels = o.channels;
  v.bits = o.bits;
  v.blockAlign = o.blockAlign;
  v.frequency = o.frequency;
  v.gainLeft = o.gainLeft;
  v.gainRight = o.gainRight;
  *duplicate = b;
  return DS_OK;
}

HRESULT IDirectSound::Compact() {
  // Buffers live in ordinary memory; there is nothing to defragment.
  return level_ >= DSSCL_PRIORITY ? DS_OK : DSERR_PRIOLEVELNEEDED;
}

ULONG IDirectSound::AddRef() { return ++refs_; }

ULONG IDirectSound::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** object, void* outer) {
  if (!object) return DSERR_INVALIDPARAM;
  *object = nullptr;
  if (device || outer) return DSERR_NODRIVER;  // only the default device exists
  platform::Mixer::Get().SetSignal([](void* event) { SetEvent(event); });
  platform::EnsureAudioOutput();
  *object = new IDirectSound();
  return DS_OK;
}

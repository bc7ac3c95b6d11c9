// A DirectSound-shaped device on the layer's mixer (platform/media/mixer.h):
// the primary buffer and its format, static secondary buffers with a play
// and a write cursor, two-part ring Lock/Unlock, looping or one-shot play,
// duplicates that share their data, and position notification events.
// Volume, pan and frequency are refused unless the buffer was created with
// the matching control, as a real device does.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/win/ddraw.h"  // GUID
#include "platform/media/mixer.h"
#include "platform/win/wintypes.h"

constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_GENERIC = E_FAIL;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
constexpr HRESULT DSERR_CONTROLUNAVAIL = static_cast<HRESULT>(0x8878001Eu);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);

constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;
constexpr DWORD DSSCL_EXCLUSIVE = 3;
constexpr DWORD DSSCL_WRITEPRIMARY = 4;

constexpr DWORD DSCAPS_PRIMARYMONO = 0x00000001u;
constexpr DWORD DSCAPS_PRIMARYSTEREO = 0x00000002u;
constexpr DWORD DSCAPS_PRIMARY8BIT = 0x00000004u;
constexpr DWORD DSCAPS_PRIMARY16BIT = 0x00000008u;
constexpr DWORD DSCAPS_CONTINUOUSRATE = 0x00000010u;
constexpr DWORD DSCAPS_EMULDRIVER = 0x00000020u;
constexpr DWORD DSCAPS_SECONDARYMONO = 0x00000100u;
constexpr DWORD DSCAPS_SECONDARYSTEREO = 0x00000200u;
constexpr DWORD DSCAPS_SECONDARY8BIT = 0x00000400u;
constexpr DWORD DSCAPS_SECONDARY16BIT = 0x00000800u;

constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x00000001u;
constexpr DWORD DSBCAPS_STATIC = 0x00000002u;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008u;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x00000020u;
constexpr DWORD DSBCAPS_CTRLPAN = 0x00000040u;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x00000080u;
constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x00000100u;
constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x00010000u;

constexpr DWORD DSBPLAY_LOOPING = 0x00000001u;
constexpr DWORD DSBSTATUS_PLAYING = 0x00000001u;
constexpr DWORD DSBSTATUS_BUFFERLOST = 0x00000002u;
constexpr DWORD DSBSTATUS_LOOPING = 0x00000004u;
constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001u;
constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x00000002u;
constexpr DWORD DSBPN_OFFSETSTOP = 0xFFFFFFFFu;

constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 100000;

constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};

// 24 DWORDs, 96 bytes, as the device reports them.
struct DSCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwMinSecondarySampleRate;
  DWORD dwMaxSecondarySampleRate;
  DWORD dwPrimaryBuffers;
  DWORD dwMaxHwMixingAllBuffers;
  DWORD dwMaxHwMixingStaticBuffers;
  DWORD dwMaxHwMixingStreamingBuffers;
  DWORD dwFreeHwMixingAllBuffers;
  DWORD dwFreeHwMixingStaticBuffers;
  DWORD dwFreeHwMixingStreamingBuffers;
  DWORD dwMaxHw3DAllBuffers;
  DWORD dwMaxHw3DStaticBuffers;
  DWORD dwMaxHw3DStreamingBuffers;
  DWORD dwFreeHw3DAllBuffers;
  DWORD dwFreeHw3DStaticBuffers;
  DWORD dwFreeHw3DStreamingBuffers;
  DWORD dwTotalHwMemBytes;
  DWORD dwFreeHwMemBytes;
  DWORD dwMaxContigFreeHwMemBytes;
  DWORD dwUnlockTransferRateHwBuffers;
  DWORD dwPlayCpuOverheadSwBuffers;
  DWORD dwReserved1;
  DWORD dwReserved2;
};
static_assert(sizeof(DSCAPS) == 96);

struct DSBCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwUnlockTransferRate;
  DWORD dwPlayCpuOverhead;
};

// dwSize must be sizeof(DSBUFFERDESC).
struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  const WAVEFORMATEX* lpwfxFormat;
};

struct DSBPOSITIONNOTIFY {
  DWORD dwOffset;
  HANDLE hEventNotify;
};

extern const GUID IID_IDirectSoundNotify;

class IDirectSound;
class IDirectSoundBuffer;

class IDirectSoundNotify {
 public:
  HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions);
  ULONG AddRef();
  ULONG Release();

 private:
  friend class IDirectSoundBuffer;
  explicit IDirectSoundNotify(IDirectSoundBuffer* buffer) : buffer_(buffer) {}
  IDirectSoundBuffer* buffer_;  // holds a reference
};
using LPDIRECTSOUNDNOTIFY = IDirectSoundNotify*;

class IDirectSoundBuffer {
 public:
  HRESULT GetCaps(DSBCAPS* caps);
  HRESULT GetFormat(WAVEFORMATEX* format, DWORD size, DWORD* written);
  HRESULT SetFormat(const WAVEFORMATEX* format);  // primary buffer only
  HRESULT GetStatus(DWORD* status);
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write);
  HRESULT SetCurrentPosition(DWORD position);
  HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
               DWORD flags);
  HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2);
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags);
  HRESULT Stop();
  HRESULT SetVolume(LONG volume);
  HRESULT GetVolume(LONG* volume);
  HRESULT SetPan(LONG pan);
  HRESULT GetPan(LONG* pan);
  HRESULT SetFrequency(DWORD frequency);
  HRESULT GetFrequency(DWORD* frequency);
  HRESULT QueryInterface(const GUID& iid, void** object);
  ULONG AddRef();
  ULONG Release();

 private:
  friend class IDirectSound;
  friend class IDirectSoundNotify;
  IDirectSoundBuffer() = default;
  ~IDirectSoundBuffer();
  void UpdateGainsLocked();
  // The bytes asked for; the mixer plays the whole frames among them.
  DWORD BufferBytes() const { return data_ ? static_cast<DWORD>(data_->size()) : 0; }

  DWORD flags_ = 0;
  WAVEFORMATEX format_{};
  std::shared_ptr<std::vector<uint8_t>> data_;  // shared with duplicates
  platform::MixVoice voice_;                    // playing state, under the mixer lock
  LONG volume_ = 0;
  LONG pan_ = 0;
  std::atomic<ULONG> refs_{1};
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

class IDirectSound {
 public:
  HRESULT SetCooperativeLevel(HWND window, DWORD level);
  HRESULT GetCaps(DSCAPS* caps);
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, void* outer);
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate);
  HRESULT Compact();
  ULONG AddRef();
  ULONG Release();

 private:
  friend HRESULT DirectSoundCreate(const GUID* device, IDirectSound** object, void* outer);
  IDirectSound() = default;
  ~IDirectSound() = default;
  DWORD level_ = 0;
  std::atomic<ULONG> refs_{1};
};
using LPDIRECTSOUND = IDirectSound*;

// Opens the default output (QB_AUDIO) if it is not open yet. Fails with
// DSERR_NODRIVER only when no backend at all can run.
HRESULT DirectSoundCreate(const GUID* device, IDirectSound** object, void* outer);

// The game's sound library: GXSound (the library object and its class-wide
// state) and SNDSample (one loaded sound, a duplicate of one, or the
// stream's buffer). Samples are whole WAV files in static sound buffers,
// played by numeric id; a busy sample is duplicated so that it can overlap
// itself; chained samples start when their predecessor stops, served by a
// callback thread; one long WAV file can be streamed through a two-second
// ring buffer refilled by a fill thread.
//
// Two threads share the sample list with the caller (the callback thread
// and the stream's fill thread). The fields they touch are atomics; the
// sound buffers lock inside the platform layer.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/win/dsound.h"
#include "platform/win/fileio.h"
#include "platform/win/sync.h"
#include "platform/win/wintypes.h"

class GXSound;

// File hooks: open returns a handle that ReadFile and SetFilePointer can
// read, or INVALID_HANDLE_VALUE; close returns non-zero on success.
using SNDOpenFileFunc = HANDLE (*)(const char* path);
using SNDCloseFileFunc = int (*)(HANDLE file);
// Called on the fill thread with the id of a stream that has ended.
using SNDNextStreamFunc = void (*)(uint32_t id);

// Sample flag bits.
constexpr uint32_t SNDF_INUSE = 0x0001;
constexpr uint32_t SNDF_CLAIMED = 0x0002;
constexpr uint32_t SNDF_DUPLICATE = 0x0004;
constexpr uint32_t SNDF_LOOPING = 0x0008;
constexpr uint32_t SNDF_FORMAT = 0x0010;
constexpr uint32_t SNDF_PAUSED = 0x0100;
constexpr uint32_t SNDF_WAITING = 0x0400;

// Stream flag bits.
constexpr uint32_t STRF_LOADED = 0x0001;
constexpr uint32_t STRF_PLAYING = 0x0002;
constexpr uint32_t STRF_REPEAT = 0x0004;
constexpr uint32_t STRF_PAUSED = 0x0008;
constexpr uint32_t STRF_FILLTHREAD = 0x0010;
constexpr uint32_t STRF_PRIMED = 0x80000000u;

class SNDSample {
 public:
  SNDSample() { Reset(); }
  // Member-wise copy (of the values the atomics hold).
  SNDSample& operator=(const SNDSample& other);

  // Opens through the open hook and checks the file with IsWavFile (which
  // fills in this sample's format); INVALID_HANDLE_VALUE when either fails.
  HANDLE OpenSoundFile(const char* path);
  int IsWavFile(HANDLE file);
  static int FindRiffChunk(HANDLE file, uint32_t id, uint32_t* header, uint32_t start);

  int AllocDSBuffer(uint32_t bytes);
  int LoadSample(const char* path, uint32_t id);

  int PlaySample(int volume, int pan);
  int StopSample();
  int PauseSample();
  int UnPauseSample();
  int SamplePlaying();
  HRESULT GetSampleStatus();

  int SetVolume(int volume);
  int SetPan(int pan);
  int SetPitch(uint32_t hertz);

  SNDSample* DupeSample();
  static SNDSample* ChainSample(SNDSample* first, SNDSample* second);
  void Reset();

  std::atomic<uint32_t> flags;
  std::atomic<uint32_t> id;
  std::atomic<uint32_t> dataSize;
  std::atomic<uint32_t> sampleRate;
  std::atomic<uint32_t> bitsPerSample;
  std::atomic<uint32_t> channels;
  std::atomic<uint32_t> pausePosition;
  std::atomic<int32_t> volume;
  std::atomic<int32_t> pan;
  std::atomic<uint32_t> pitch;
  std::atomic<uint32_t> loopStart;
  std::atomic<uint32_t> loopEnd;
  std::atomic<uint32_t> loopPlayCount;
  std::atomic<IDirectSoundBuffer*> buffer;
  std::atomic<uint32_t> notifyOffset;
  std::atomic<HANDLE> notifyEvent;
  std::atomic<SNDSample*> next;
};

struct _SNDEvent {
  HANDLE event;
  std::atomic<SNDSample*> sample;
};

struct _SNDStream {
  std::atomic<uint32_t> flags;
  HANDLE file;
  uint32_t dataStart;
  uint32_t segmentSize;
  uint32_t bufferSize;
  uint32_t remaining;
  std::atomic<SNDSample*> sample;
  IDirectSoundNotify* notify;
  DSBPOSITIONNOTIFY positions[9];
};

class GXSound {
 public:
  GXSound() = default;
  GXSound(HWND window, int maxSamples) { Init(window, maxSamples); }
  GXSound& operator=(const GXSound& other);

  int Init(HWND window, int maxSamples);
  void Exit();

  int AllocSampleBuffers();
  static void ClearSampleList();
  static void ClearSample(SNDSample* sample);
  static SNDSample* AllocSample();

  int LoadSample(const char* path, uint32_t id);
  SNDSample* FindSample(uint32_t id);
  SNDSample* PlaySample(uint32_t id, int volume, int pan);
  int PlaySampleIDOnce(uint32_t id, int volume, int pan);
  void FreeSample(uint32_t id);
  void FreeSample(SNDSample* sample);
  void FlushSamples();

  void EnableSFX(int on);
  void EnableMusic(int on);

  static int MapVolume(int volume);
  static int MapPan(int pan);

  static _SNDEvent* AllocSoundEvent();
  static void FreeSoundEvent(_SNDEvent* event);

  static void SetFileOpenFunc(SNDOpenFileFunc fn);
  static void SetFileCloseFunc(SNDCloseFileFunc fn);
  static HANDLE DefaultOpenFile(const char* path);
  static int DefaultCloseFile(HANDLE file);

  static IDirectSound* GetDSObject() { return g_lpDSound; }
  static IDirectSoundBuffer* GetDSPrimaryBuffer() { return g_lpSoundBuffer; }
  void MemCleanup();
  static int GetLIBVersion() { return 1; }
  static const char* GetLIBDate() { return "Fri Dec 22 07:46:08 2000"; }

  // Streamed music.
  int LoadStream(const char* path, uint32_t id);
  int PlayStream(uint32_t flags);
  int StopStream();
  int PauseStream();
  static int CleanupStream();
  static void SetStreamVolume(int volume);
  static int GetStreamVolume();
  static uint32_t GetStreamID();
  SNDNextStreamFunc SetStreamNextFunc(SNDNextStreamFunc fn);
  SNDNextStreamFunc GetStreamNextFunc() { return g_pNextStreamFunc; }
  static void ClearStreamNextStreamFunc() { g_pNextStreamFunc = nullptr; }
  static _SNDStream* GetStreamInfoPtr() { return &g_StreamInfo; }
  void FadeMusicOut(int ms) { FadeMusic(musicLevel, 0, ms); }
  void FadeMusicIn(int ms) { FadeMusic(0, musicLevel, ms); }
  void FadeMusic(int from, int to, int ms);

  int musicLevel = 0;
  std::atomic<int> musicEnabled{0};
  std::atomic<int> sfxEnabled{0};

  // Class-wide state.
  static IDirectSound* g_lpDSound;
  static IDirectSoundBuffer* g_lpSoundBuffer;
  static DSCAPS g_DSCaps;
  static int g_nMaxSampleCount;
  static int g_nMaxEventCount;
  static HGLOBAL g_MemHandle;
  static HANDLE* g_CallBackHandles;
  static _SNDEvent* g_EventList;
  static SNDSample* g_SampleList;
  static std::atomic<SNDSample*> g_pLastSample;
  static SNDSample* g_pEndSample;
  static SNDOpenFileFunc g_pOpenFile;
  static SNDCloseFileFunc g_pCloseFile;
  static HANDLE g_CallBackThread;
  static std::atomic<int> g_nCallBackThreadActive;
  static int16_t g_VolumeTable[16384];
  static _SNDStream g_StreamInfo;
  static HANDLE g_NotifyEvents[9];
  static HANDLE g_FillThread;
  static DWORD g_FillThreadID;
  static std::atomic<SNDNextStreamFunc> g_pNextStreamFunc;
  // The object whose switches the samples obey (the one that ran Init).
  static std::atomic<GXSound*> g_pSound;

 protected:
  int CreateMainBuffer();
  int setup_callback();
  void close_callback();
  static DWORD CallBack(void* parameter);
  static int init_stream_buffer();
  static DWORD FillStream(void* parameter);
  // Ends a fill thread whose stream never played (a failed or replaced load).
  static void end_fill_thread();

 private:
  static void release_sample_buffers();
  static void fill_segment(uint32_t segment);
};

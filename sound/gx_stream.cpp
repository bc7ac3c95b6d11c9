// Streamed music: one long WAV file played through a looping buffer of
// eight quarter-second segments. Nine notification events (one per
// segment boundary and one for "stopped") drive the fill thread, which
// refills the segment that has just been played and cleans up when the
// buffer stops.
#include <algorithm>
#include <cstring>

#include "platform/posix/files.h"
#include "platform/win/mmtimer.h"
#include "sound/gx_sound.h"

_SNDStream GXSound::g_StreamInfo = {};
HANDLE GXSound::g_NotifyEvents[9] = {};
HANDLE GXSound::g_FillThread = nullptr;
DWORD GXSound::g_FillThreadID = 0;
std::atomic<SNDNextStreamFunc> GXSound::g_pNextStreamFunc{nullptr};

namespace {

// The segment holding the last byte of a stream that does not repeat, once
// the file has been read to its end (-1: none, or no data at all). The
// buffer stops when that segment has been played.
std::atomic<int> g_streamEndSegment{-1};

constexpr DWORD kStopEvent = 8;

void CloseWithHook(HANDLE file) {
  if (GXSound::g_pCloseFile) {
    GXSound::g_pCloseFile(file);
  } else {
    GXSound::DefaultCloseFile(file);
  }
}

void Silence(void* p, uint32_t bytes, uint32_t bits) {
  if (p && bytes) std::memset(p, bits == 8 ? 0x80 : 0, bytes);
}

void CloseNotifyEvents() {
  for (HANDLE& e : GXSound::g_NotifyEvents) {
    if (e) CloseHandle(e);
    e = nullptr;
  }
  for (DSBPOSITIONNOTIFY& p : GXSound::g_StreamInfo.positions) p = {};
}

// Reads up to bytes of the stream's data chunk from where the file is.
uint32_t ReadData(void* into, uint32_t bytes) {
  DWORD read = 0;
  if (!bytes || !ReadFile(GXSound::g_StreamInfo.file, into, bytes, &read, nullptr)) return 0;
  return read;
}

// Releases everything the stream holds; returns its id.
uint32_t ReleaseStreamState() {
  _SNDStream& st = GXSound::g_StreamInfo;
  CloseNotifyEvents();
  uint32_t id = 0;
  if (SNDSample* s = st.sample) {
    if (IDirectSoundBuffer* b = s->buffer) {
      b->Stop();
      b->Release();
      s->buffer = nullptr;
    }
    id = s->id;
    GXSound::ClearSample(s);
    st.sample = nullptr;
  }
  if (st.notify) st.notify->Release();
  st.notify = nullptr;
  if (st.file && st.file != INVALID_HANDLE_VALUE) CloseWithHook(st.file);
  st.file = nullptr;
  st.flags &= ~(STRF_LOADED | STRF_PLAYING | STRF_REPEAT | STRF_PAUSED | STRF_PRIMED);
  st.remaining = 0;
  st.bufferSize = 0;
  st.segmentSize = 0;
  return id;
}

}  // namespace

SNDNextStreamFunc GXSound::SetStreamNextFunc(SNDNextStreamFunc fn) { return g_pNextStreamFunc.exchange(fn); }

void GXSound::end_fill_thread() {
  if (!g_FillThread) return;
  HANDLE thread = g_FillThread;
  g_FillThread = nullptr;
  if (GetCurrentThreadId() == g_FillThreadID) {
    // Asked from the next-stream function, on the fill thread itself: it
    // ends by itself once that function returns.
    CloseHandle(thread);
    return;
  }
  // A stream that never played: the stop event ends the thread without a
  // clean-up (the stream is not playing), then its state is released here.
  if (g_StreamInfo.flags & STRF_FILLTHREAD) {
    if (g_NotifyEvents[kStopEvent]) SetEvent(g_NotifyEvents[kStopEvent]);
    WaitForSingleObject(thread, INFINITE);
  }
  CloseHandle(thread);
  if (g_StreamInfo.flags & STRF_LOADED) ReleaseStreamState();
}

int GXSound::LoadStream(const char* path, uint32_t id) {
  if (!musicEnabled) return 0;
  // One stream at a time; this also closes the handle of an ended one.
  if (g_StreamInfo.flags & STRF_PLAYING) StopStream();
  end_fill_thread();
  if (g_StreamInfo.flags & STRF_LOADED) ReleaseStreamState();

  // The events exist before the thread waits on them.
  for (HANDLE& e : g_NotifyEvents) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g_StreamInfo.flags = STRF_FILLTHREAD;
  g_FillThread = CreateThread(nullptr, 0, FillStream, nullptr, 0, &g_FillThreadID);
  if (!g_FillThread) {
    g_StreamInfo.flags = 0;
    CloseNotifyEvents();
    return 0;
  }
  SetThreadPriority(g_FillThread, THREAD_PRIORITY_LOWEST);

  auto fail = [path](SNDSample* slot, HANDLE file) {
    platform::ReportUnloadable("music", path);
    end_fill_thread();
    if (file != INVALID_HANDLE_VALUE) CloseWithHook(file);
    if (slot) {
      if (IDirectSoundBuffer* b = slot->buffer) {
        b->Release();
        slot->buffer = nullptr;
      }
      ClearSample(slot);
    }
    CloseNotifyEvents();
    g_StreamInfo.flags = 0;
    return 0;
  };

  SNDSample* slot = AllocSample();
  if (!slot) return fail(nullptr, INVALID_HANDLE_VALUE);
  HANDLE file = slot->OpenSoundFile(path);
  if (file == INVALID_HANDLE_VALUE) return fail(slot, INVALID_HANDLE_VALUE);
  if (id != 0xFFFFFFFFu) slot->id = id;

  uint32_t align = slot->bitsPerSample * slot->channels / 8;
  uint64_t segment = static_cast<uint64_t>(align) * slot->sampleRate * 2000 / 8000;  // a quarter second
  if (align && segment % align) segment += align - segment % align;
  if (segment == 0 || segment * 8 > 0x0FFFFFFFu) return fail(slot, file);
  uint32_t segmentSize = static_cast<uint32_t>(segment);
  if ((slot->flags & SNDF_LOOPING) && slot->loopEnd - slot->loopStart < segmentSize) return fail(slot, file);
  if (!slot->AllocDSBuffer(8 * segmentSize)) return fail(slot, file);
  IDirectSoundNotify* notify = nullptr;
  IDirectSoundBuffer* buffer = slot->buffer;
  if (FAILED(buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify))) || !notify) {
    return fail(slot, file);
  }
  for (int i = 0; i < 8; ++i) g_StreamInfo.positions[i] = {static_cast<DWORD>(i) * segmentSize, g_NotifyEvents[i]};
  g_StreamInfo.positions[8] = {DSBPN_OFFSETSTOP, g_NotifyEvents[kStopEvent]};
  notify->SetNotificationPositions(9, g_StreamInfo.positions);

  g_StreamInfo.dataStart = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
  g_StreamInfo.notify = notify;
  g_StreamInfo.file = file;
  g_StreamInfo.segmentSize = segmentSize;
  g_StreamInfo.bufferSize = 8 * segmentSize;
  g_StreamInfo.sample = slot;
  g_StreamInfo.flags |= STRF_LOADED | STRF_FILLTHREAD;
  init_stream_buffer();
  return 1;
}

int GXSound::init_stream_buffer() {
  _SNDStream& st = g_StreamInfo;
  SNDSample* s = st.sample;
  IDirectSoundBuffer* b = s ? s->buffer.load() : nullptr;
  if (!b) return 0;
  void* p1 = nullptr;
  void* p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (FAILED(b->Lock(0, st.bufferSize, &p1, &n1, &p2, &n2, 0))) return 0;
  // Never past the data chunk: what follows it is not sound.
  uint32_t read = ReadData(p1, std::min<uint32_t>(n1, s->dataSize));
  Silence(static_cast<uint8_t*>(p1) + read, n1 - read, s->bitsPerSample);
  st.remaining = s->dataSize - read;
  g_streamEndSegment = st.remaining == 0 && read > 0 ? static_cast<int>((read - 1) / st.segmentSize) : -1;
  b->Unlock(p1, n1, p2, n2);
  return 1;
}

int GXSound::PlayStream(uint32_t flags) {
  if (!musicEnabled) return 1;
  uint32_t f = g_StreamInfo.flags;
  if (!(f & STRF_LOADED) || (f & STRF_PLAYING)) return 1;
  SNDSample* s = g_StreamInfo.sample;
  IDirectSoundBuffer* b = s ? s->buffer.load() : nullptr;
  if (!b) return 1;
  g_StreamInfo.flags |= flags;
  b->SetCurrentPosition(1);
  b->Play(0, 0, DSBPLAY_LOOPING);
  g_StreamInfo.flags |= STRF_PLAYING;
  return 1;
}

void GXSound::fill_segment(uint32_t j) {
  _SNDStream& st = g_StreamInfo;
  SNDSample* s = st.sample;
  IDirectSoundBuffer* b = s ? s->buffer.load() : nullptr;
  if (!b) return;
  const uint32_t size = st.segmentSize;
  const uint32_t bits = s->bitsPerSample;
  const bool repeat = (st.flags & STRF_REPEAT) != 0;
  if (st.remaining == 0 && !repeat) {
    int end = g_streamEndSegment;
    if (end < 0 || static_cast<uint32_t>(end) == j) {
      // The last queued data has been heard.
      b->Stop();
      return;
    }
  }
  void* p1 = nullptr;
  void* p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  if (FAILED(b->Lock(st.positions[j].dwOffset, size, &p1, &n1, &p2, &n2, 0)) || n1 == 0) return;
  auto* out = static_cast<uint8_t*>(p1);
  if (st.remaining == 0 && !repeat) {
    Silence(out, n1, bits);  // played out while the end comes round
  } else if (n1 < st.remaining) {
    uint32_t read = ReadData(out, n1);
    st.remaining -= read;
    if (read < n1) {  // the file ended early
      Silence(out + read, n1 - read, bits);
      st.remaining = 0;
      if (!repeat) g_streamEndSegment = static_cast<int>(j);
    }
  } else {
    uint32_t done = ReadData(out, st.remaining);
    if (repeat) {
      // The data goes on from its first byte within the same segment.
      uint32_t fromStart = 0;
      while (done < n1) {
        if (SetFilePointer(st.file, static_cast<LONG>(st.dataStart), nullptr, FILE_BEGIN) != st.dataStart) break;
        fromStart = ReadData(out + done, std::min<uint32_t>(n1 - done, s->dataSize));
        if (fromStart == 0) break;
        done += fromStart;
      }
      Silence(out + done, n1 - done, bits);
      st.remaining = s->dataSize - fromStart;
    } else {
      Silence(out + done, n1 - done, bits);
      st.remaining = 0;
      g_streamEndSegment = done > 0 ? static_cast<int>(j) : static_cast<int>((j + 7) % 8);
    }
  }
  b->Unlock(p1, n1, p2, n2);
}

DWORD GXSound::FillStream(void*) {
  for (;;) {
    DWORD r = WaitForMultipleObjects(9, g_NotifyEvents, FALSE, INFINITE);
    if (r == WAIT_FAILED || r > WAIT_OBJECT_0 + kStopEvent) break;  // the events are gone
    DWORD i = r - WAIT_OBJECT_0;
    if (i == kStopEvent) {
      if (g_StreamInfo.flags & STRF_PAUSED) continue;  // a pause stops the buffer but keeps the stream
      CleanupStream();
      break;
    }
    if (!(g_StreamInfo.flags & STRF_PRIMED) || !g_StreamInfo.sample) {
      g_StreamInfo.flags |= STRF_PRIMED;
      // Only the boundary at the buffer's start can fire before any of it
      // has been played; any other boundary follows a played segment.
      if (i == 0 || !g_StreamInfo.sample) continue;
    }
    fill_segment(i == 0 ? 7 : i - 1);
  }
  g_StreamInfo.flags &= ~STRF_FILLTHREAD;
  return 0;
}

int GXSound::CleanupStream() {
  uint32_t f = g_StreamInfo.flags;
  SNDSample* s = g_StreamInfo.sample;
  if (!(f & STRF_LOADED) || !(f & STRF_PLAYING) || !s || !s->buffer) return 1;
  uint32_t id = ReleaseStreamState();
  if (SNDNextStreamFunc next = g_pNextStreamFunc) next(id);
  return 1;
}

int GXSound::StopStream() {
  if (!musicEnabled) return 1;
  uint32_t f = g_StreamInfo.flags;
  SNDSample* s = g_StreamInfo.sample;
  IDirectSoundBuffer* b = s ? s->buffer.load() : nullptr;
  if (!(f & STRF_LOADED) || !(f & STRF_PLAYING) || !b) return 1;
  HANDLE thread = g_FillThread;
  bool paused = (g_StreamInfo.flags.fetch_and(~STRF_PAUSED) & STRF_PAUSED) != 0;
  b->Stop();  // the stop event hands the clean-up to the fill thread
  if (paused) SetEvent(g_NotifyEvents[kStopEvent]);  // already stopped: no stop event came
  // Waiting on the thread itself rather than polling the stream's sample:
  // the thread ends right after its clean-up.
  if (thread && GetCurrentThreadId() != g_FillThreadID) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    if (g_FillThread == thread) g_FillThread = nullptr;
  }
  return 1;
}

int GXSound::PauseStream() {
  uint32_t f = g_StreamInfo.flags;
  SNDSample* s = g_StreamInfo.sample;
  IDirectSoundBuffer* b = s ? s->buffer.load() : nullptr;
  if (!(f & STRF_LOADED) || !(f & STRF_PLAYING) || !b) return 1;
  if (f & STRF_PAUSED) {
    g_StreamInfo.flags &= ~STRF_PAUSED;
    b->SetCurrentPosition(s->pausePosition);
    b->Play(0, 0, DSBPLAY_LOOPING);
  } else {
    g_StreamInfo.flags |= STRF_PAUSED;
    DWORD play = 0;
    b->GetCurrentPosition(&play, nullptr);
    s->pausePosition = play;
    b->Stop();
  }
  return 1;
}

void GXSound::SetStreamVolume(int volume) {
  if (!(g_StreamInfo.flags & STRF_LOADED)) return;
  SNDSample* s = g_StreamInfo.sample;
  if (s && s->buffer) s->SetVolume(volume);
}

int GXSound::GetStreamVolume() {
  SNDSample* s = g_StreamInfo.sample;
  return (g_StreamInfo.flags & STRF_LOADED) && s ? s->volume.load() : 0;
}

uint32_t GXSound::GetStreamID() {
  SNDSample* s = g_StreamInfo.sample;
  return (g_StreamInfo.flags & STRF_LOADED) && s ? s->id.load() : 0;
}

void GXSound::FadeMusic(int from, int to, int ms) {
  // Steps once per 10 ms tick, sleeping between steps instead of spinning
  // on the tick count; the caller is blocked for ms milliseconds as before.
  DWORD t0 = GetTickCount();
  for (;;) {
    DWORD t = GetTickCount();
    int32_t elapsed = static_cast<int32_t>(t - t0);
    if (elapsed >= ms) break;
    SetStreamVolume(from + static_cast<int>(static_cast<int64_t>(elapsed) * (to - from) / ms));
    Sleep(std::min<DWORD>(10, static_cast<DWORD>(ms - elapsed)));
  }
  SetStreamVolume(to);
}

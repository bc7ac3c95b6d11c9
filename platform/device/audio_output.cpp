// The null and WAV outputs, paced by the real or the virtual clock, and the
// table that picks an output from QB_AUDIO.
#include "platform/device/audio_output.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/device/page_parts.h"
#include "platform/media/mixer.h"
#include "platform/posix/system_file.h"

namespace platform {
namespace {

constexpr uint32_t kChunkFrames = kMixRate / 100;  // 10 ms

std::atomic<bool (*)(uint32_t)> signalledWorkWait{nullptr};

void WaitForSignalledWork(uint32_t realTimeoutMs) {
  if (auto wait = signalledWorkWait.load(std::memory_order_acquire)) wait(realTimeoutMs);
}

// Where rendered frames go.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void Write(const int16_t* frames, uint32_t count) = 0;
};

class NullSink final : public Sink {
 public:
  void Write(const int16_t*, uint32_t) override {}
};

// A 16-bit stereo PCM WAV file. The header's sizes are brought up to date
// after every write, so the file is valid even when the process ends
// without running destructors.
class WavSink final : public Sink {
 public:
  static std::unique_ptr<WavSink> Open(const std::string& path) {
    SystemFile file = SystemFile::CreateForWriting(path);
    if (!file.IsOpen()) return nullptr;
    auto sink = std::unique_ptr<WavSink>(new WavSink(std::move(file)));
    sink->WriteHeader();
    return sink;
  }

  void Write(const int16_t* frames, uint32_t count) override {
    if (failed_) return;
    size_t bytes = static_cast<size_t>(count) * 4;
    // Little-endian samples, which is also the machine's order on every
    // platform this builds for.
    if (!WriteAll(frames, bytes, 44 + dataBytes_)) return;
    dataBytes_ += static_cast<uint32_t>(bytes);
    uint8_t size[4];
    Put32(size, 36 + dataBytes_);
    WriteAll(size, 4, 4);
    Put32(size, dataBytes_);
    WriteAll(size, 4, 40);
  }

 private:
  explicit WavSink(SystemFile file) : file_(std::move(file)) {}
  static void Put32(uint8_t* p, uint32_t v) {
    p[0] = v & 0xFF, p[1] = (v >> 8) & 0xFF, p[2] = (v >> 16) & 0xFF, p[3] = v >> 24;
  }
  bool WriteAll(const void* data, size_t bytes, uint64_t offset) {
    if (!file_.WriteAt(data, bytes, offset)) failed_ = true;
    return !failed_;
  }
  void WriteHeader() {
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    h[20] = 1, h[21] = 0;  // PCM
    h[22] = 2, h[23] = 0;  // stereo
    Put32(h + 24, kMixRate);
    Put32(h + 28, kMixRate * 4);
    h[32] = 4, h[33] = 0;   // block align
    h[34] = 16, h[35] = 0;  // bits
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, 0);
    WriteAll(h, sizeof h, 0);
  }
  SystemFile file_;
  uint32_t dataBytes_ = 0;
  bool failed_ = false;
};

// Renders into a sink at the pace of the layer's clock.
class PacedOutput final : public AudioOutput {
 public:
  explicit PacedOutput(std::unique_ptr<Sink> sink) : sink_(std::move(sink)) {
    if (GetClockKind() == ClockKind::Virtual) {
      startMs_ = NowMs();
      listener_ = AddVirtualTimeListener([this](uint32_t now) { AdvanceTo(now); });
    } else {
      thread_ = std::thread([this] { RealTimeLoop(); });
    }
  }
  ~PacedOutput() override {
    if (listener_) {
      // Bring the file up to the present before it closes.
      AdvanceTo(NowMs());
      RemoveVirtualTimeListener(listener_);
    }
    if (thread_.joinable()) {
      {
        std::lock_guard<std::mutex> lock(stopLock_);
        stop_ = true;
      }
      stopWake_.notify_all();
      thread_.join();
    }
  }

 private:
  // Virtual time: exactly the frames of the elapsed milliseconds, in 10 ms
  // blocks; after a block that woke a sound thread, let it finish (start a
  // chained sample, refill a stream segment) before mixing on.
  void AdvanceTo(uint32_t nowMs) {
    int32_t elapsed = TickDiff(nowMs, startMs_);
    if (elapsed <= 0) return;
    uint64_t target = static_cast<uint64_t>(elapsed) * kMixRate / 1000;
    while (rendered_ < target) {
      uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunkFrames, target - rendered_));
      uint32_t woken = Mixer::Get().Render(buffer_, n);
      sink_->Write(buffer_, n);
      rendered_ += n;
      if (woken) WaitForSignalledWork(2000);
    }
  }

  void RealTimeLoop() {
    auto start = std::chrono::steady_clock::now();
    auto next = start;
    for (;;) {
      next += std::chrono::milliseconds(10);
      {
        std::unique_lock<std::mutex> lock(stopLock_);
        if (stopWake_.wait_until(lock, next, [this] { return stop_; })) return;
      }
      auto now = std::chrono::steady_clock::now();
      uint64_t target =
          static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now - start).count()) *
          kMixRate / 1000000;
      // After a stall, skip ahead rather than render a burst.
      if (target > rendered_ + kMixRate / 2) rendered_ = target - kChunkFrames;
      while (rendered_ < target) {
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(kChunkFrames, target - rendered_));
        Mixer::Get().Render(buffer_, n);
        sink_->Write(buffer_, n);
        rendered_ += n;
      }
    }
  }

  std::unique_ptr<Sink> sink_;
  int16_t buffer_[kChunkFrames * 2];
  uint64_t rendered_ = 0;
  uint32_t startMs_ = 0;
  int listener_ = 0;
  std::thread thread_;
  std::mutex stopLock_;
  std::condition_variable stopWake_;
  bool stop_ = false;
};

std::unique_ptr<AudioOutput> CreateNull(const std::string&) {
  return std::make_unique<PacedOutput>(std::make_unique<NullSink>());
}

std::unique_ptr<AudioOutput> CreateWav(const std::string& path) {
  auto sink = WavSink::Open(path);
  if (!sink) {
    std::fprintf(stderr, "audio: cannot write %s; no audio output\n", path.c_str());
    return nullptr;
  }
  return std::make_unique<PacedOutput>(std::move(sink));
}

// The system's device (SDL's, or Windows' own). A device plays in real
// time; virtual time runs as fast as the CPU allows, so with the virtual
// clock the output is not heard.
std::unique_ptr<AudioOutput> CreateDevice(const std::string&) {
  if (GetClockKind() == ClockKind::Virtual) return nullptr;
#ifdef _WIN32
  return CreateWin32AudioOutput();
#else
  return CreateSdlAudioOutput();
#endif
}

#if QB_PAGE_PARTS
std::unique_ptr<AudioOutput> CreateWeb(const std::string&) { return CreateWebAudioOutput(); }
#endif

struct Backend {
  const char* name;
  std::unique_ptr<AudioOutput> (*create)(const std::string& argument);
  bool takesArgument;  // "wav:PATH"
};
constexpr Backend kBackends[] = {
    {kDefaultDevice, CreateDevice, false},
    {"null", CreateNull, false},
    {"wav", CreateWav, true},
#if QB_PAGE_PARTS
    {"web", CreateWeb, false},
#endif
};

// The web output exists only in the web build.
bool Built(const Backend& b) {
#if QB_PAGE_PARTS
  return std::string_view(b.name) != "web" || &CreateWebAudioOutput;
#else
  (void)b;
  return true;
#endif
}

// The backend a choice ("name" or "name:argument") names, or null.
const Backend* Find(const std::string& choice, std::string* argument) {
  const size_t colon = choice.find(':');
  const std::string name = choice.substr(0, colon);
  const std::string arg = colon == std::string::npos ? std::string() : choice.substr(colon + 1);
  for (const Backend& b : kBackends) {
    if (name != b.name || !Built(b)) continue;
    if (b.takesArgument ? arg.empty() : colon != std::string::npos) return nullptr;
    if (argument) *argument = arg;
    return &b;
  }
  return nullptr;
}

std::mutex& OutputLock() {
  static std::mutex m;
  return m;
}
AudioOutput*& Current() {
  static AudioOutput* current = nullptr;  // ended by an exit handler, not a static destructor
  return current;
}

void CloseLocked() {
  delete Current();
  Current() = nullptr;
}

void OpenLocked(const std::string& choice) {
  std::string argument;
  std::unique_ptr<AudioOutput> output;
  // Programs refuse an unknown QB_AUDIO at start; a test asking for one gets silence.
  if (const Backend* b = Find(choice, &argument))
    output = b->create(argument);
  else
    std::fprintf(stderr, "audio: unknown output \"%s\"; no audio output\n", choice.c_str());
  if (!output) output = CreateNull(std::string());
  Current() = output.release();
  static bool exitHandler = [] { return std::atexit([] { CloseAudioOutput(); }) == 0; }();
  (void)exitHandler;
}

}  // namespace

void SetSignalledWorkWait(bool (*wait)(uint32_t realTimeoutMs)) {
  signalledWorkWait.store(wait, std::memory_order_release);
}

bool IsAudioOutputName(const std::string& choice) { return Find(choice, nullptr) != nullptr; }

void EnsureAudioOutput() {
  std::lock_guard<std::mutex> lock(OutputLock());
  if (!Current()) OpenLocked(GetConfig().audio);
}

void OpenAudioOutput(const char* choice) {
  std::lock_guard<std::mutex> lock(OutputLock());
  CloseLocked();
  OpenLocked(choice ? std::string(choice) : GetConfig().audio);
}

void CloseAudioOutput() {
  std::lock_guard<std::mutex> lock(OutputLock());
  CloseLocked();
}

}  // namespace platform

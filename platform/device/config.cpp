#include "platform/device/config.h"

#include <cstdint>
#include <cstdlib>

#include "platform/device/audio_output.h"
#include "platform/device/clock.h"
#include "platform/device/video.h"

namespace platform {
namespace {

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : fallback;
}

// A whole decimal number that fits 32 bits, or nothing when the variable is
// unset; anything else is recorded as malformed.
std::optional<uint32_t> EnvNumber(const char* name, std::string* malformed) {
  const char* v = std::getenv(name);
  if (!v || !*v) return std::nullopt;
  uint64_t n = 0;
  for (const char* p = v; *p; ++p) {
    if (*p < '0' || *p > '9' || (n = n * 10 + static_cast<uint64_t>(*p - '0')) > UINT32_MAX) {
      if (malformed->empty()) *malformed = std::string(name) + "=" + v + " is not a whole number below 2^32";
      return std::nullopt;
    }
  }
  return static_cast<uint32_t>(n);
}

Config Read() {
  Config c;
  c.video = Env("QB_VIDEO", kDefaultDevice);
  c.clock = Env("QB_CLOCK", "real");
  c.audio = Env("QB_AUDIO", kDefaultDevice);
  c.seed = EnvNumber("QB_SEED", &c.malformed);
  c.script = Env("QB_SCRIPT", "");
  c.scriptDir = Env("QB_SCRIPT_DIR", "");
  c.record = Env("QB_RECORD", "");
  c.replay = Env("QB_REPLAY", "");
  std::string shell = Env("QB_SHELL", "");
  if (shell.rfind("record:", 0) == 0 && shell.size() > 7)
    c.shellRecord = shell.substr(7);
  else if (!shell.empty() && c.malformed.empty())
    c.malformed = "QB_SHELL=" + shell + " is not record:PATH";
  c.maxTicks = EnvNumber("QB_MAX_TICKS", &c.malformed);
  c.desktopDepth = EnvNumber("QB_DEPTH", &c.malformed).value_or(16);
  return c;
}

Config& Current() {
  static Config config = Read();
  return config;
}

}  // namespace

const Config& GetConfig() { return Current(); }

std::string SettingsError() {
  const Config& c = Current();
  if (!c.malformed.empty()) return c.malformed;
  if (!IsVideoBackendName(c.video)) return "QB_VIDEO=" + c.video + " is not a video backend (" + std::string(kDefaultDevice) + ", headless)";
  if (!IsAudioOutputName(c.audio)) return "QB_AUDIO=" + c.audio + " is not an audio output (" + std::string(kDefaultDevice) + ", null, wav:PATH)";
  if (!IsClockName(c.clock)) return "QB_CLOCK=" + c.clock + " is not a clock (real, virtual)";
  return {};
}
void ReloadConfig() { Current() = Read(); }

}  // namespace platform

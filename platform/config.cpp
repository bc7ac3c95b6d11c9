#include "platform/config.h"

#include <cstdlib>

namespace platform {
namespace {

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? v : fallback;
}

std::optional<uint32_t> EnvNumber(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v) return std::nullopt;
  char* end = nullptr;
  unsigned long long n = std::strtoull(v, &end, 10);
  if (*end != '\0') return std::nullopt;
  return static_cast<uint32_t>(n);
}

Config Read() {
  Config c;
  c.video = Env("QB_VIDEO", "sdl");
  c.clock = Env("QB_CLOCK", "real");
  c.audio = Env("QB_AUDIO", "sdl");
  c.seed = EnvNumber("QB_SEED");
  c.script = Env("QB_SCRIPT", "");
  c.scriptDir = Env("QB_SCRIPT_DIR", "");
  std::string shell = Env("QB_SHELL", "");
  if (shell.rfind("record:", 0) == 0) c.shellRecord = shell.substr(7);
  c.maxTicks = EnvNumber("QB_MAX_TICKS");
  c.desktopDepth = EnvNumber("QB_DEPTH").value_or(16);
  return c;
}

Config& Current() {
  static Config config = Read();
  return config;
}

std::string& Name() {
  static std::string name = "Quibbleton";
  return name;
}

}  // namespace

const Config& GetConfig() { return Current(); }
void ReloadConfig() { Current() = Read(); }
const std::string& ProgramName() { return Name(); }
void SetProgramName(const std::string& name) { Name() = name; }

}  // namespace platform

// The QB_* environment variables that choose backends and drive headless runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/program_name.h"

namespace platform {

// The backend of the system's own window and sound: SDL's, or on Windows
// Windows' own (platform/win32/). QB_VIDEO and QB_AUDIO name it.
#ifdef _WIN32
inline constexpr const char* kDefaultDevice = "win32";
#else
inline constexpr const char* kDefaultDevice = "sdl";
#endif

struct Config {
  std::string video = "sdl";      // QB_VIDEO: sdl | headless
  std::string clock = "real";     // QB_CLOCK: real | virtual
  std::string audio = "sdl";      // QB_AUDIO: sdl | null | wav:PATH
  std::optional<uint32_t> seed;   // QB_SEED
  std::string script;             // QB_SCRIPT
  std::string scriptDir;          // QB_SCRIPT_DIR
  std::string record;             // QB_RECORD: where the run's input is written as a script
  std::string shellRecord;        // QB_SHELL=record:PATH -> PATH
  // QB_REPLAY: a replay the game plays back instead of being played. The
  // game reads it (its format is the game's), so a file that does not read
  // as a replay is the game's to refuse.
  std::string replay;
  std::optional<uint32_t> maxTicks;  // QB_MAX_TICKS
  // QB_DEPTH: the colour depth the desktop reports (16, the depth the programs
  // draw in, unless a test asks for another to see the launcher refuse it).
  uint32_t desktopDepth = 16;
  // The first setting that is not a number where one is needed, or an
  // unknown QB_SHELL form; empty when all are well formed.
  std::string malformed;
};

// Read once from the environment on first use.
const Config& GetConfig();
// Tests may change the environment and ask for a fresh read.
void ReloadConfig();
// One line naming the first QB_* setting that is malformed or names no
// backend; empty when every setting is usable. Programs end with exit code 2
// when it is not empty, instead of guessing what was meant.
std::string SettingsError();

}  // namespace platform

// Scripted input for headless (and windowed) runs: one event per line,
// "TICK COMMAND ARGS", ticks in non-decreasing order, '#' starts a comment.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device/device_event.h"

namespace platform {

struct ScriptEvent {
  uint32_t tick;
  DeviceEvent event;
};

struct ScriptShot {
  uint32_t tick;
  std::string path;
};

struct Script {
  std::vector<ScriptEvent> events;  // sorted by tick, file order kept among equal ticks
  std::vector<ScriptShot> shots;    // sorted by tick
  std::vector<ScriptShot> dumps;    // state dumps ("dump PATH"), sorted by tick
};

// Relative shot and dump paths are taken relative to baseDir. On a malformed line or an
// unknown command returns false with "line N: what is wrong" in error.
bool ParseScript(std::string_view text, const std::string& baseDir, Script* script, std::string* error);

}  // namespace platform

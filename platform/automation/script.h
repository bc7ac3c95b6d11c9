// Scripted input for headless (and windowed) runs: one event per line,
// "TICK COMMAND ARGS", ticks in non-decreasing order, '#' starts a comment.
// "type TEXT" types UTF-8 as a US keyboard would (each character with a key
// gives its key down, its text and its key up); "text TEXT" gives the typed
// text alone, as an input method does (what QB_RECORD writes).
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
  // A dump of the program's further state ("details PATH") instead of its state.
  bool details = false;
};

struct Script {
  std::vector<ScriptEvent> events;  // sorted by tick, file order kept among equal ticks
  std::vector<ScriptShot> shots;    // sorted by tick
  std::vector<ScriptShot> dumps;    // state dumps ("dump PATH", "details PATH"), sorted by tick
};

// Typed text as the argument of a "text" line: bytes that the line could
// not hold as they are (blanks, '#', control bytes, '\\') written \xHH.
std::string ScriptText(std::string_view text);

// Relative shot and dump paths are taken relative to baseDir. On a malformed line or an
// unknown command returns false with "line N: what is wrong" in error.
bool ParseScript(std::string_view text, const std::string& baseDir, Script* script, std::string* error);

}  // namespace platform

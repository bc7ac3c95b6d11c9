#include "platform/device/input.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <mutex>

#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/posix/file_read.h"
#include "platform/posix/files.h"
#include "platform/device/keys.h"
#include "platform/device/video.h"

namespace platform {
namespace {

struct State {
  std::atomic<uint8_t> keys[256] = {};
  // Presses not yet shown by a snapshot: a key and its release, or several
  // taps of it, can arrive in one poll (synthetic or very fast typing). The
  // snapshots then show each press, with a release between two of them, so
  // the keyboard queue sees every one (one snapshot is taken per message).
  std::atomic<int> pressesPending[256] = {};
  bool shownDown[256] = {};  // what the last snapshot said; main thread only
  std::atomic<int> buttons{0};
  // Buttons pressed since the last poll (a frame's read): a press and its
  // release can both arrive between two polls, and the poll still sees it.
  std::atomic<int> pressedSincePoll{0};
  std::atomic<int> x{0}, y{0};
  std::mutex mutex;  // guards the script below
  void (*sink)(const DeviceEvent&) = nullptr;
  Script script;
  size_t nextScriptEvent = 0;
  size_t nextShot = 0;
  size_t nextDump = 0;
  std::string (*stateText)() = nullptr;
};

State& S() {
  static State state;
  return state;
}

[[noreturn]] void ScriptFailure(const std::string& file, const std::string& message) {
  std::fprintf(stderr, "%s: script %s: %s\n", ProgramName().c_str(), file.c_str(), message.c_str());
  std::fflush(stderr);
  std::_Exit(2);
}

void LoadScriptFile(const std::string& path) {
  std::string text;
  if (ReadRegularFile(path, kMaxScriptFile, &text) != ReadResult::kOk) ScriptFailure(path, "cannot be read");
  std::string dir = std::filesystem::path(path).parent_path().string();
  if (dir.empty()) dir = ".";
  Script script;
  std::string error;
  if (!ParseScript(text, dir, &script, &error)) ScriptFailure(path, error);
  SetScript(std::move(script));
}

// The number of a script "NN-Program.txt" for program, or -1 for any other
// name. Compared as text: a program's name may hold any character.
long ScriptNumber(const std::string& name, const std::string& program) {
  const std::string tail = "-" + program + ".txt";
  size_t digits = 0;
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') ++digits;
  if (digits == 0 || name.size() != digits + tail.size() || name.compare(digits, tail.size(), tail) != 0) return -1;
  return std::strtol(name.c_str(), nullptr, 10);
}

}  // namespace

// The lowest-numbered untaken "NN-Program.txt" of the folder, renamed to ".taken".
std::string TakeFromScriptDir(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  long best = -1;
  fs::path bestPath;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const long n = ScriptNumber(entry.path().filename().string(), ProgramName());
    if (n >= 0 && (best < 0 || n < best)) {
      best = n;
      bestPath = entry.path();
    }
  }
  if (best < 0) return {};
  fs::path taken = bestPath;
  taken.replace_extension(".taken");
  fs::rename(bestPath, taken, ec);
  if (ec) return {};
  return taken.string();
}

void SnapshotKeys(uint8_t out[kKeyCount]) {
  State& s = S();
  for (int i = 0; i < kKeyCount; ++i) {
    if (s.pressesPending[i].load(std::memory_order_relaxed) > 0) {
      // Up between two presses, then down for the next one.
      if (!s.shownDown[i]) s.pressesPending[i].fetch_sub(1, std::memory_order_relaxed);
      s.shownDown[i] = !s.shownDown[i];
    } else {
      s.shownDown[i] = (s.keys[i].load(std::memory_order_relaxed) & 0x80) != 0;
    }
    out[i] = s.shownDown[i] ? 0x80 : 0;
  }
}

bool KeyHeld(Key key) {
  return S().keys[static_cast<int>(key)].load(std::memory_order_relaxed) & 0x80;
}

int MouseButtons() { return S().buttons.load(std::memory_order_relaxed); }

int PollMouseButtons() {
  State& s = S();
  return s.buttons.load(std::memory_order_relaxed) | s.pressedSincePoll.exchange(0, std::memory_order_relaxed);
}

void MousePosition(int* x, int* y) {
  if (x) *x = S().x.load(std::memory_order_relaxed);
  if (y) *y = S().y.load(std::memory_order_relaxed);
}

void LoadStartupScript() {
  const Config& c = GetConfig();
  if (!c.script.empty()) {
    LoadScriptFile(c.script);
  } else if (!c.scriptDir.empty()) {
    std::string taken = TakeFromScriptDir(c.scriptDir);
    if (!taken.empty()) LoadScriptFile(taken);
  }
}

void SetScript(Script script) {
  std::lock_guard<std::mutex> lock(S().mutex);
  S().script = std::move(script);
  S().nextScriptEvent = 0;
  S().nextShot = 0;
  S().nextDump = 0;
}

void SetDeviceEventSink(void (*sink)(const DeviceEvent& event)) { S().sink = sink; }

namespace {

// The event as a script line, or empty for window management that scripts
// cannot express (moves and sizes of the window).
std::string ScriptLine(const DeviceEvent& e) {
  switch (e.kind) {
    case DeviceEvent::Kind::MouseMove:
      return "move " + std::to_string(e.x) + " " + std::to_string(e.y);
    case DeviceEvent::Kind::MouseButton:
      return std::string(e.down ? "press " : "release ") + (e.button == 0 ? "left" : "right");
    case DeviceEvent::Kind::Key: {
      const KeyInfo* key = KeyInfoOf(e.key);
      return key && key->name ? std::string("key ") + (e.down ? "down " : "up ") + key->name : std::string();
    }
    case DeviceEvent::Kind::Activate:
      return "activate";
    case DeviceEvent::Kind::Deactivate:
      return "deactivate";
    case DeviceEvent::Kind::Close:
      return "close";
    default:
      return {};
  }
}

// QB_RECORD: every input event applied, at the clock time it was applied, so
// that the file given as QB_SCRIPT plays the run again. Flushed per line, so
// a run that is killed keeps what it had.
void Record(uint32_t tick, const DeviceEvent& e) {
  const std::string& path = GetConfig().record;
  if (path.empty()) return;
  static FILE* file = [&] {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) std::fprintf(stderr, "%s: cannot write QB_RECORD file %s\n", ProgramName().c_str(), path.c_str());
    else std::fprintf(f, "# input of a %s run\n", ProgramName().c_str());
    return f;
  }();
  const std::string line = ScriptLine(e);
  if (!file || line.empty()) return;
  std::fprintf(file, "%u %s\n", tick, line.c_str());
  std::fflush(file);
}

}  // namespace

void GatherDeviceEvents() {
  std::vector<DeviceEvent> due;
  Video().Poll(due);
  uint32_t now = NowMs();
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto& events = S().script.events;
    while (S().nextScriptEvent < events.size() && TickDiff(now, events[S().nextScriptEvent].tick) >= 0)
      due.push_back(events[S().nextScriptEvent++].event);
  }
  for (const DeviceEvent& e : due) {
    ApplyDeviceEvent(e);
    Record(now, e);
    if (S().sink) S().sink(e);
  }
}

void ApplyDeviceEvent(const DeviceEvent& e) {
  State& s = S();
  switch (e.kind) {
    case DeviceEvent::Kind::MouseMove:
      s.x = e.x;
      s.y = e.y;
      break;
    case DeviceEvent::Kind::MouseButton: {
      int bit = e.button == 0 ? 1 : 2;
      if (e.down) {
        s.buttons.fetch_or(bit, std::memory_order_relaxed);
        s.pressedSincePoll.fetch_or(bit, std::memory_order_relaxed);
      } else {
        s.buttons.fetch_and(~bit, std::memory_order_relaxed);
      }
      break;
    }
    case DeviceEvent::Kind::Key:
      if (e.key != Key::None) {
        const int code = static_cast<int>(e.key);
        s.keys[code] = e.down ? 0x80 : 0;
        if (e.down) s.pressesPending[code].fetch_add(1, std::memory_order_relaxed);
      }
      break;
    case DeviceEvent::Kind::Deactivate:
      // A window that loses focus sees no keys held any more.
      for (auto& k : s.keys) k = 0;
      for (auto& k : s.pressesPending) k = 0;
      s.buttons = 0;
      s.pressedSincePoll = 0;
      break;
    default:
      break;
  }
}

namespace {

std::vector<std::string> TakeDue(const std::vector<ScriptShot>& list, size_t* next, uint32_t now) {
  std::vector<std::string> due;
  while (*next < list.size() && TickDiff(now, list[*next].tick) >= 0) due.push_back(list[(*next)++].path);
  return due;
}

}  // namespace

std::vector<std::string> TakeDueShots(uint32_t now) {
  std::lock_guard<std::mutex> lock(S().mutex);
  return TakeDue(S().script.shots, &S().nextShot, now);
}

void SetStateText(std::string (*describe)()) { S().stateText = describe; }
std::string StateText() { return S().stateText ? S().stateText() : std::string(); }

void WriteDueDumps(uint32_t now) {
  std::vector<std::string> due;
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    due = TakeDue(S().script.dumps, &S().nextDump, now);
  }
  if (due.empty()) return;
  const std::string text = StateText();
  for (const std::string& path : due)
    if (!WriteFileAtomically(path, text.data(), text.size()))
      std::fprintf(stderr, "%s: cannot write state dump %s\n", ProgramName().c_str(), path.c_str());
}

}  // namespace platform

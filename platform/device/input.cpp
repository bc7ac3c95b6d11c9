#include "platform/device/input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <deque>
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
  uint8_t keys[kKeyCount] = {};
  int buttons = 0;
  int x = 0, y = 0;
  // The window's own activation, as its events tell it: moves while it is
  // inactive change the held position, but the pointer the screens see stays.
  bool active = true;
  std::deque<InputEvent> queue;
  std::mutex mutex;  // guards the script below
  void (*sink)(const DeviceEvent&) = nullptr;
  Script script;
  size_t nextScriptEvent = 0;
  size_t nextShot = 0;
  size_t nextDump = 0;
  std::string (*stateText)() = nullptr;
  std::string (*detailText)() = nullptr;
};

// A program that reads no input for a long while (a screen without text
// fields takes no keys) keeps only the newest events.
constexpr size_t kMaxQueued = 1024;

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
  if (dir.empty()) dir.assign(1, '.');  // not = ".": GCC 12 warns of an overlapping copy (-Wrestrict)
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

void SnapshotKeys(uint8_t out[kKeyCount]) { std::copy(S().keys, S().keys + kKeyCount, out); }

bool KeyHeld(Key key) { return S().keys[static_cast<int>(key)] & 0x80; }

int MouseButtons() { return S().buttons; }

void MousePosition(int* x, int* y) {
  if (x) *x = S().x;
  if (y) *y = S().y;
}

namespace {

InputStream StreamOf(DeviceEvent::Kind kind) {
  return kind == DeviceEvent::Kind::MouseMove || kind == DeviceEvent::Kind::MouseButton ? InputStream::Pointer
                                                                                         : InputStream::Keyboard;
}

void Queue(const DeviceEvent& e, bool shift = false) {
  std::deque<InputEvent>& q = S().queue;
  // Only the last place of a run of moves matters to a reader.
  if (e.kind == DeviceEvent::Kind::MouseMove && !q.empty() && q.back().event.kind == DeviceEvent::Kind::MouseMove) {
    q.back().event = e;
    return;
  }
  if (q.size() == kMaxQueued) q.pop_front();
  q.push_back({e, shift});
}

}  // namespace

bool TakeInputEvent(InputStream stream, InputEvent* out, const std::function<bool(const DeviceEvent&)>& accept) {
  std::deque<InputEvent>& q = S().queue;
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (StreamOf(it->event.kind) != stream) continue;
    if (accept && !accept(it->event)) return false;
    *out = *it;
    q.erase(it);
    return true;
  }
  return false;
}

void DropInputEvents(InputStream stream) {
  std::deque<InputEvent>& q = S().queue;
  q.erase(std::remove_if(q.begin(), q.end(), [&](const InputEvent& e) { return StreamOf(e.event.kind) == stream; }),
          q.end());
}

namespace {
bool textInputOn = false;
}  // namespace

void SetTextInput(bool on) {
  textInputOn = on;
  Video().SetTextInput(on);
}

bool TextInputOn() { return textInputOn; }

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
    case DeviceEvent::Kind::Text:
      return "text " + ScriptText(e.text);
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

void ApplyDeviceEvent(const DeviceEvent& event) {
  State& s = S();
  DeviceEvent e = event;
  switch (e.kind) {
    case DeviceEvent::Kind::MouseMove:
      s.x = e.x;
      s.y = e.y;
      if (s.active) Queue(e);
      break;
    case DeviceEvent::Kind::MouseButton: {
      const int bit = e.button == 0 ? 1 : 2;
      s.buttons = e.down ? (s.buttons | bit) : (s.buttons & ~bit);
      // A reader sees the button where it went down or up.
      e.x = s.x;
      e.y = s.y;
      Queue(e);
      break;
    }
    case DeviceEvent::Kind::Key:
      if (e.key == Key::None) break;
      if (e.down) Queue(e, KeyHeld(Key::LeftShift) || KeyHeld(Key::RightShift));
      s.keys[static_cast<int>(e.key)] = e.down ? 0x80 : 0;
      break;
    case DeviceEvent::Kind::Text:
      if (e.text[0] != '\0') Queue(e);
      break;
    case DeviceEvent::Kind::Activate:
      s.active = true;
      break;
    case DeviceEvent::Kind::Deactivate: {
      // A window that loses focus sees no keys or buttons held any more; the
      // readers see the buttons go up.
      s.active = false;
      std::fill(std::begin(s.keys), std::end(s.keys), 0);
      for (int button = 0; button < 2; ++button) {
        if (!(s.buttons & (1 << button))) continue;
        DeviceEvent release;
        release.kind = DeviceEvent::Kind::MouseButton;
        release.button = button;
        release.x = s.x;
        release.y = s.y;
        Queue(release);
      }
      s.buttons = 0;
      break;
    }
    default:
      break;
  }
}

namespace {

std::vector<ScriptShot> TakeDue(const std::vector<ScriptShot>& list, size_t* next, uint32_t now) {
  std::vector<ScriptShot> due;
  while (*next < list.size() && TickDiff(now, list[*next].tick) >= 0) due.push_back(list[(*next)++]);
  return due;
}

}  // namespace

std::vector<std::string> TakeDueShots(uint32_t now) {
  std::lock_guard<std::mutex> lock(S().mutex);
  std::vector<std::string> paths;
  for (const ScriptShot& shot : TakeDue(S().script.shots, &S().nextShot, now)) paths.push_back(shot.path);
  return paths;
}

void SetStateText(std::string (*describe)()) { S().stateText = describe; }
std::string StateText() { return S().stateText ? S().stateText() : std::string(); }
void SetDetailText(std::string (*describe)()) { S().detailText = describe; }
std::string DetailText() { return S().detailText ? S().detailText() : std::string(); }

void WriteDueDumps(uint32_t now) {
  std::vector<ScriptShot> due;
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    due = TakeDue(S().script.dumps, &S().nextDump, now);
  }
  for (const ScriptShot& dump : due) {
    const std::string text = dump.details ? DetailText() : StateText();
    if (!WriteFileAtomically(dump.path, text.data(), text.size()))
      std::fprintf(stderr, "%s: cannot write state dump %s\n", ProgramName().c_str(), dump.path.c_str());
  }
}

}  // namespace platform

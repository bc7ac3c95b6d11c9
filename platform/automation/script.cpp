#include "platform/automation/script.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <sstream>

#include "platform/device/keys.h"

namespace platform {
namespace {

constexpr uint32_t kTapMs = 20;

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Splits off the next blank-separated word.
std::string_view NextWord(std::string_view& rest) {
  rest = Trim(rest);
  size_t end = rest.find_first_of(" \t");
  std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return word;
}

bool ParseNumber(std::string_view word, int64_t min, int64_t max, int64_t* out) {
  if (word.empty()) return false;
  int64_t v = 0;
  auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), v);
  if (ec != std::errc() || ptr != word.data() + word.size() || v < min || v > max) return false;
  *out = v;
  return true;
}

DeviceEvent KeyEvent(const KeyInfo& key, bool down) {
  DeviceEvent e;
  e.kind = DeviceEvent::Kind::Key;
  e.key = key.key;
  e.down = down;
  return e;
}

DeviceEvent ButtonEvent(int button, bool down) {
  DeviceEvent e;
  e.kind = DeviceEvent::Kind::MouseButton;
  e.button = button;
  e.down = down;
  return e;
}

DeviceEvent MoveEvent(int x, int y) {
  DeviceEvent e;
  e.kind = DeviceEvent::Kind::MouseMove;
  e.x = x;
  e.y = y;
  return e;
}

// The bytes of the UTF-8 character text starts with; a malformed byte is a
// character of its own. text must not be empty.
size_t CharacterBytes(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const size_t n = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
  if (n > text.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 1;
  return n;
}

// Text events of whole characters, each at most what an event holds.
void AddText(std::string_view text, std::vector<DeviceEvent>* out) {
  while (!text.empty()) {
    size_t n = 0;
    while (n < text.size() && n + CharacterBytes(text.substr(n)) < DeviceEvent::kTextBytes)
      n += CharacterBytes(text.substr(n));
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Text;
    text.copy(e.text, n);
    out->push_back(e);
    text.remove_prefix(n);
  }
}

bool Hex(char c, int* v) {
  if (c >= '0' && c <= '9') *v = c - '0';
  else if (c >= 'a' && c <= 'f') *v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') *v = c - 'A' + 10;
  else return false;
  return true;
}

// The text of a "text" line: \xHH is a byte, every other byte stands for itself.
bool Unescape(std::string_view in, std::string* out) {
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out->push_back(in[i]);
      continue;
    }
    int high, low;
    if (i + 3 >= in.size() || in[i + 1] != 'x' || !Hex(in[i + 2], &high) || !Hex(in[i + 3], &low)) return false;
    out->push_back(static_cast<char>(high * 16 + low));
    i += 3;
  }
  return true;
}

DeviceEvent Simple(DeviceEvent::Kind kind) {
  DeviceEvent e;
  e.kind = kind;
  return e;
}

class Parser {
 public:
  Parser(const std::string& baseDir, Script* script) : baseDir_(baseDir), script_(script) {}

  bool Line(int number, std::string_view line, std::string* error) {
    size_t hash = line.find('#');
    if (hash != std::string_view::npos) line = line.substr(0, hash);
    line = Trim(line);
    if (line.empty()) return true;
    auto fail = [&](const std::string& what) {
      *error = "line " + std::to_string(number) + ": " + what;
      return false;
    };
    std::string_view rest = line;
    int64_t tick = 0;
    std::string_view tickWord = NextWord(rest);
    if (!ParseNumber(tickWord, 0, UINT32_MAX - 100000, &tick)) return fail("bad tick \"" + std::string(tickWord) + "\"");
    if (tick < lastTick_) return fail("tick " + std::to_string(tick) + " is before the previous line's");
    lastTick_ = tick;
    uint32_t t = static_cast<uint32_t>(tick);
    std::string command(NextWord(rest));
    if (command.empty()) return fail("missing command");

    auto coords = [&](int64_t* x, int64_t* y) {
      return ParseNumber(NextWord(rest), -32768, 32767, x) && ParseNumber(NextWord(rest), -32768, 32767, y);
    };
    auto button = [&](int* b) {
      std::string_view w = NextWord(rest);
      if (w == "left") *b = 0;
      else if (w == "right") *b = 1;
      else return false;
      return true;
    };
    auto noMore = [&] { return Trim(rest).empty(); };

    if (command == "move") {
      int64_t x, y;
      if (!coords(&x, &y) || !noMore()) return fail("move needs X Y");
      Add(t, MoveEvent(static_cast<int>(x), static_cast<int>(y)));
    } else if (command == "press" || command == "release") {
      int b;
      if (!button(&b) || !noMore()) return fail(command + " needs left or right");
      Add(t, ButtonEvent(b, command == "press"));
    } else if (command == "click") {
      int b;
      int64_t x, y;
      if (!button(&b) || !coords(&x, &y) || !noMore()) return fail("click needs left|right X Y");
      Add(t, MoveEvent(static_cast<int>(x), static_cast<int>(y)));
      Add(t, ButtonEvent(b, true));
      Add(t + kTapMs, ButtonEvent(b, false));
    } else if (command == "key") {
      std::string_view dir = NextWord(rest);
      std::string_view name = NextWord(rest);
      const KeyInfo* key = KeyByName(name);
      if ((dir != "down" && dir != "up") || !noMore()) return fail("key needs down|up NAME");
      if (!key) return fail("unknown key \"" + std::string(name) + "\"");
      Add(t, KeyEvent(*key, dir == "down"));
    } else if (command == "tap") {
      std::string_view name = NextWord(rest);
      const KeyInfo* key = KeyByName(name);
      if (!key || !noMore()) return fail("unknown key \"" + std::string(name) + "\"");
      Add(t, KeyEvent(*key, true));
      Add(t + kTapMs, KeyEvent(*key, false));
    } else if (command == "type") {
      std::string_view text = Trim(rest);
      if (text.empty()) return fail("type needs TEXT");
      const KeyInfo* shift = KeyByName("LSHIFT");
      uint32_t at = t;
      for (size_t i = 0; i < text.size();) {
        const std::string_view character = text.substr(i, CharacterBytes(text.substr(i)));
        i += character.size();
        const auto lead = static_cast<unsigned char>(character[0]);
        if (lead < 0x20 || lead == 0x7F || (character.size() == 1 && lead >= 0x80))
          return fail("cannot type byte " + std::to_string(lead));
        bool needsShift = false;
        const KeyInfo* key = character.size() == 1 ? KeyForChar(character[0], &needsShift) : nullptr;
        std::vector<DeviceEvent> typed;
        AddText(character, &typed);
        if (key && needsShift) Add(at, KeyEvent(*shift, true));
        if (key) Add(at, KeyEvent(*key, true));
        for (const DeviceEvent& e : typed) Add(at, e);
        if (key) Add(at + kTapMs, KeyEvent(*key, false));
        if (key && needsShift) Add(at + kTapMs, KeyEvent(*shift, false));
        at += 2 * kTapMs;
      }
    } else if (command == "text") {
      std::string text;
      if (Trim(rest).empty() || !Unescape(Trim(rest), &text)) return fail("text needs TEXT (\\xHH for a byte)");
      std::vector<DeviceEvent> typed;
      AddText(text, &typed);
      for (const DeviceEvent& e : typed) Add(t, e);
    } else if (command == "activate" || command == "deactivate" || command == "close") {
      if (!noMore()) return fail(command + " takes no arguments");
      Add(t, Simple(command == "activate"     ? DeviceEvent::Kind::Activate
                    : command == "deactivate" ? DeviceEvent::Kind::Deactivate
                                              : DeviceEvent::Kind::Close));
    } else if (command == "shot" || command == "dump" || command == "details") {
      std::string path(Trim(rest));
      if (path.empty()) return fail(command + " needs PATH");
      // Absolute: "/..." anywhere, "C:/..." on Windows too.
      const bool absolute = path[0] == '/' || std::filesystem::path(path).is_absolute();
      if (!absolute && !baseDir_.empty()) path = baseDir_ + "/" + path;
      (command == "shot" ? script_->shots : script_->dumps).push_back({t, path, command == "details"});
    } else {
      return fail("unknown command \"" + command + "\"");
    }
    return true;
  }

  void Finish() {
    std::stable_sort(script_->events.begin(), script_->events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.tick < b.tick; });
  }

 private:
  void Add(uint32_t tick, const DeviceEvent& e) { script_->events.push_back({tick, e}); }

  std::string baseDir_;
  Script* script_;
  int64_t lastTick_ = 0;
};

}  // namespace

std::string ScriptText(std::string_view text) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F || c == '#' || c == '\\') {
      out += "\\x";
      out += kDigits[byte >> 4];
      out += kDigits[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool ParseScript(std::string_view text, const std::string& baseDir, Script* script, std::string* error) {
  *script = {};
  Parser parser(baseDir, script);
  int number = 0;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    if (!parser.Line(++number, line, error)) return false;
  }
  parser.Finish();
  return true;
}

}  // namespace platform

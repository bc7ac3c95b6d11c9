#include "platform/web/page_input.h"

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

struct PlacedKey {
  std::string_view code;
  Key key;
};

// Every key of the layer by its place on the keyboard, as KeyboardEvent.code
// names it (the letters and digits are worked out below).
constexpr PlacedKey kPlaces[] = {
    {"Escape", Key::Escape},        {"Minus", Key::Minus},
    {"Equal", Key::Equals},         {"Backspace", Key::Backspace},
    {"Tab", Key::Tab},              {"BracketLeft", Key::LeftBracket},
    {"BracketRight", Key::RightBracket}, {"Enter", Key::Enter},
    {"NumpadEnter", Key::Enter},    {"Semicolon", Key::Semicolon},
    {"Quote", Key::Apostrophe},     {"Backquote", Key::Grave},
    {"ShiftLeft", Key::LeftShift},  {"Backslash", Key::Backslash},
    {"Comma", Key::Comma},          {"Period", Key::Period},
    {"Slash", Key::Slash},          {"ShiftRight", Key::RightShift},
    {"Space", Key::Space},          {"F1", Key::F1},
    {"Home", Key::Home},            {"ArrowUp", Key::Up},
    {"PageUp", Key::PageUp},        {"ArrowLeft", Key::Left},
    {"ArrowRight", Key::Right},     {"End", Key::End},
    {"ArrowDown", Key::Down},       {"PageDown", Key::PageDown},
};

// The layer's letter keys run in keyboard rows, not alphabetically: the key
// table knows which key types each letter.
Key LetterKey(char letter) {
  const char lower = static_cast<char>(letter >= 'A' && letter <= 'Z' ? letter - 'A' + 'a' : letter);
  if (lower < 'a' || lower > 'z') return Key::None;
  const KeyInfo* info = KeyForChar(lower, nullptr);
  return info ? info->key : Key::None;
}

Key PlacedKeyOf(std::string_view code) {
  if (code.size() == 4 && code.starts_with("Key")) return LetterKey(code[3]);
  if (code.size() == 6 && code.starts_with("Digit") && code[5] >= '0' && code[5] <= '9')
    return code[5] == '0' ? Key::Digit0 : static_cast<Key>(static_cast<int>(Key::Digit1) + (code[5] - '1'));
  for (const PlacedKey& placed : kPlaces)
    if (placed.code == code) return placed.key;
  return Key::None;
}

// The bytes of the UTF-8 character that starts with lead (1 for a stray byte).
size_t CharacterBytes(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

Key PageKey(std::string_view code, std::string_view key) {
  if (key.size() == 1) {
    if (const Key letter = LetterKey(key[0]); letter != Key::None) return letter;
  }
  return PlacedKeyOf(code);
}

void AppendPageText(std::string_view utf8, std::vector<DeviceEvent>& out) {
  DeviceEvent event;
  event.kind = DeviceEvent::Kind::Text;
  size_t used = 0;
  auto flush = [&] {
    if (used == 0) return;
    event.text[used] = '\0';
    out.push_back(event);
    used = 0;
  };
  for (size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const size_t bytes = std::min(CharacterBytes(lead), utf8.size() - at);
    if (lead < 0x20 || lead == 0x7F) {
      at += bytes;
      continue;
    }
    if (used + bytes > DeviceEvent::kTextBytes - 1) flush();
    std::memcpy(event.text + used, utf8.data() + at, bytes);
    used += bytes;
    at += bytes;
  }
  flush();
}

}  // namespace platform

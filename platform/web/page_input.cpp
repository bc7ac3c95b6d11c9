#include "platform/web/page_input.h"

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
    {"Pause", Key::Pause},
};

Key PlacedKeyOf(std::string_view code) {
  if (code.size() == 4 && code.starts_with("Key")) return KeyByLayout(static_cast<unsigned char>(code[3]), Key::None, false);
  if (code.size() == 6 && code.starts_with("Digit") && code[5] >= '0' && code[5] <= '9')
    return code[5] == '0' ? Key::Digit0 : static_cast<Key>(static_cast<int>(Key::Digit1) + (code[5] - '1'));
  for (const PlacedKey& placed : kPlaces)
    if (placed.code == code) return placed.key;
  return Key::None;
}

// The bytes of the well-formed UTF-8 character s starts with, 0 for none
// (a stray byte, a cut or overlong sequence, a surrogate, beyond U+10FFFF).
size_t CharacterBytes(std::string_view s) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(0);
  const size_t bytes = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  if (bytes == 0 || bytes > s.size()) return 0;
  for (size_t i = 1; i < bytes; ++i)
    if ((byte(i) & 0xC0) != 0x80) return 0;
  if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0) || (lead == 0xF0 && byte(1) < 0x90) ||
      (lead == 0xF4 && byte(1) >= 0x90))
    return 0;
  return bytes;
}

// C0 and C1 controls and DEL: no character a box shows.
bool IsControl(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (character.size() == 1) return lead < 0x20 || lead == 0x7F;
  return lead == 0xC2 && static_cast<unsigned char>(character[1]) < 0xA0;
}

}  // namespace

Key PageKey(std::string_view code, std::string_view key) {
  const bool letterPlace = code.size() == 4 && code.starts_with("Key");
  // A key naming more than one byte ("Shift", "Dead", a letter beyond ASCII) types no ASCII character.
  const char32_t typed = key.size() == 1 ? static_cast<unsigned char>(key[0]) : 0;
  return KeyByLayout(typed, PlacedKeyOf(code), letterPlace);
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
    const size_t bytes = CharacterBytes(utf8.substr(at));
    if (bytes == 0) {  // not text: left out
      ++at;
      continue;
    }
    const std::string_view character = utf8.substr(at, bytes);
    at += bytes;
    if (IsControl(character)) continue;
    if (used + bytes > DeviceEvent::kTextBytes - 1) flush();
    std::memcpy(event.text + used, character.data(), bytes);
    used += bytes;
  }
  flush();
}

}  // namespace platform

// The page's keys and typed text as the web backend reports them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/web/page_input.h"

namespace platform {
namespace {

struct PageKeyEvent {
  const char* code;   // KeyboardEvent.code
  const char* label;  // KeyboardEvent.key on a US keyboard
};

// Every key of a US keyboard that the layer has a key for, as a browser names it.
constexpr PageKeyEvent kUsKeyboard[] = {
    {"Escape", "Escape"}, {"Digit1", "1"}, {"Digit2", "2"}, {"Digit3", "3"}, {"Digit4", "4"}, {"Digit5", "5"},
    {"Digit6", "6"}, {"Digit7", "7"}, {"Digit8", "8"}, {"Digit9", "9"}, {"Digit0", "0"}, {"Minus", "-"},
    {"Equal", "="}, {"Backspace", "Backspace"}, {"Tab", "Tab"}, {"KeyQ", "q"}, {"KeyW", "w"}, {"KeyE", "e"},
    {"KeyR", "r"}, {"KeyT", "t"}, {"KeyY", "y"}, {"KeyU", "u"}, {"KeyI", "i"}, {"KeyO", "o"}, {"KeyP", "p"},
    {"BracketLeft", "["}, {"BracketRight", "]"}, {"Enter", "Enter"}, {"KeyA", "a"}, {"KeyS", "s"},
    {"KeyD", "d"}, {"KeyF", "f"}, {"KeyG", "g"}, {"KeyH", "h"}, {"KeyJ", "j"}, {"KeyK", "k"}, {"KeyL", "l"},
    {"Semicolon", ";"}, {"Quote", "'"}, {"Backquote", "`"}, {"ShiftLeft", "Shift"}, {"Backslash", "\\"},
    {"KeyZ", "z"}, {"KeyX", "x"}, {"KeyC", "c"}, {"KeyV", "v"}, {"KeyB", "b"}, {"KeyN", "n"}, {"KeyM", "m"},
    {"Comma", ","}, {"Period", "."}, {"Slash", "/"}, {"ShiftRight", "Shift"}, {"Space", " "}, {"F1", "F1"},
    {"Home", "Home"}, {"ArrowUp", "ArrowUp"}, {"PageUp", "PageUp"}, {"ArrowLeft", "ArrowLeft"},
    {"ArrowRight", "ArrowRight"}, {"End", "End"}, {"ArrowDown", "ArrowDown"}, {"PageDown", "PageDown"},
    {"Pause", "Pause"},
};

// On a US keyboard each key is the layer's key that types its character (the
// layer's own table says which), and every key of the layer can be pressed.
TEST(PageInput, EveryKeyOfAUsKeyboardIsTheLayersKeyOfItsCharacter) {
  std::set<Key> reached;
  for (const PageKeyEvent& e : kUsKeyboard) {
    const Key key = PageKey(e.code, e.label);
    EXPECT_NE(key, Key::None) << e.code;
    reached.insert(key);
    if (std::string(e.label).size() == 1) {
      const KeyInfo* typing = KeyForChar(e.label[0], nullptr);
      ASSERT_NE(typing, nullptr) << e.label;
      EXPECT_EQ(key, typing->key) << e.code;
    }
  }
  EXPECT_EQ(PageKey("ArrowUp", "ArrowUp"), KeyByName("UP")->key);
  EXPECT_EQ(PageKey("NumpadEnter", "Enter"), Key::Enter);
  EXPECT_EQ(static_cast<int>(reached.size()), kKeyCount - 1) << "a key of the layer no page key reaches";
  // Keys the layer has not.
  EXPECT_EQ(PageKey("F2", "F2"), Key::None);
  EXPECT_EQ(PageKey("IntlBackslash", "<"), Key::None);
  EXPECT_EQ(PageKey("Numpad5", "5"), Key::None);
  EXPECT_EQ(PageKey("", "Unidentified"), Key::None);
  EXPECT_EQ(PageKey("Key", ""), Key::None);
  EXPECT_EQ(PageKey("Digit", ""), Key::None);
  EXPECT_EQ(PageKey("Digit:", ":"), Key::None);
  EXPECT_EQ(PageKey("DigitA", "a"), Key::A);  // by its letter, as any key typing one
  EXPECT_EQ(PageKey("DigitA", "&"), Key::None);
}

// A key that types a letter is that letter's key, wherever the layout put
// it (Shift and Caps Lock alike); a letter's place that types a sign is that
// sign's key; any other key is the key at its place.
TEST(PageInput, LetterKeysFollowTheLayoutAndTheRestTheirPlace) {
  EXPECT_EQ(PageKey("KeyY", "z"), Key::Z);  // German
  EXPECT_EQ(PageKey("KeyY", "Z"), Key::Z);
  EXPECT_EQ(PageKey("KeyZ", "Y"), Key::Y);
  EXPECT_EQ(PageKey("Semicolon", "m"), Key::M);  // French
  EXPECT_EQ(PageKey("KeyQ", "A"), Key::A);
  EXPECT_EQ(PageKey("KeyM", ","), Key::Comma);    // a sign at a letter's place: the sign's key
  EXPECT_EQ(PageKey("KeyF", "\xD0\xB0"), Key::F);  // Cyrillic a: its place
  EXPECT_EQ(PageKey("KeyQ", "@"), Key::None);     // AltGr: a sign a US key types only shifted
  EXPECT_EQ(PageKey("Semicolon", "\xC3\xB6"), Key::Semicolon);  // German o with diaeresis
  EXPECT_EQ(PageKey("Quote", "Dead"), Key::Apostrophe);
  EXPECT_EQ(PageKey("Digit2", "\xC3\xA9"), Key::Digit2);  // French e acute
  EXPECT_EQ(PageKey("Digit2", "\""), Key::Digit2);
  EXPECT_EQ(PageKey("Slash", "-"), Key::Slash);  // German minus: its place
}

std::vector<std::string> Texts(std::string_view typed) {
  std::vector<DeviceEvent> events;
  AppendPageText(typed, events);
  std::vector<std::string> texts;
  for (const DeviceEvent& e : events) {
    EXPECT_EQ(e.kind, DeviceEvent::Kind::Text);
    texts.emplace_back(e.text);
  }
  return texts;
}

TEST(PageInput, TextComesInEventsOfWholeCharacters) {
  EXPECT_EQ(Texts("Zo\xC3\xAB Yates"), std::vector<std::string>{"Zo\xC3\xAB Yates"});
  EXPECT_TRUE(Texts("").empty());
  // Line breaks and tabs are no text; nothing is left of only them.
  EXPECT_EQ(Texts("a\tb\r\nc\x7F"), std::vector<std::string>{"abc"});
  EXPECT_TRUE(Texts("\n").empty());
  EXPECT_EQ(Texts("a\xC2\x85" "b\xC2\xA0"), std::vector<std::string>{"ab\xC2\xA0"});  // NEL is a control, NBSP not
  // Bytes that are no character are no text, and take nothing with them.
  EXPECT_EQ(Texts("a\xC3(b\xFF\xED\xA0\x80" "c\xC0\xAF\xF0\x9F\x99"), std::vector<std::string>{"a(bc"});
  // The first and last characters of each length are kept; overlong forms
  // (a character spelt with more bytes than it needs) and the cut are not.
  const std::string edges = "\x7F\xC2\xA0\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80";
  EXPECT_EQ(Texts(edges), std::vector<std::string>{edges.substr(1)});
  EXPECT_TRUE(Texts("\xC1\xBF\xE0\x9F\xBF\xF0\x8F\xBF\xBF\xF5\x80\x80\x80\xED\xBF\xBF\xE2\x82").empty());
  // U+10FFFF is the last character; beyond it there are none.
  EXPECT_EQ(Texts("\xE2\x82\xAC\xF4\x8F\xBF\xBF\xF4\x90\x80\x80"),
            std::vector<std::string>{"\xE2\x82\xAC\xF4\x8F\xBF\xBF"});

  // Longer text: as many events as it takes, none over 31 bytes, none cutting a character.
  std::string name;
  for (int i = 0; i < 12; ++i) name += "\xC3\xAB";                // 2 bytes each
  for (int i = 0; i < 9; ++i) name += "\xF0\x9F\x99\x82";         // 4 bytes each
  name += "x";
  const std::vector<std::string> parts = Texts(name);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], std::string(name, 0, 24 + 4));  // 28 bytes: one more 4-byte character is 32
  std::string joined;
  for (const std::string& part : parts) {
    EXPECT_LE(part.size(), 31u);
    EXPECT_NE(static_cast<unsigned char>(part[0]) & 0xC0, 0x80) << "starts inside a character";
    joined += part;
  }
  EXPECT_EQ(joined, name);
  EXPECT_EQ(Texts(std::string(31, 'a')).size(), 1u);
  EXPECT_EQ(Texts(std::string(32, 'a')), (std::vector<std::string>{std::string(31, 'a'), "a"}));
}

}  // namespace
}  // namespace platform

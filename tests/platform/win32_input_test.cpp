// The Windows window's keys and typed text as the layer sees them, and the
// size a window opens at: the parts of the window backends that need no
// window, checked on every build.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/device/keys.h"
#include "platform/device/video.h"
#include "platform/win/key_codes.h"
#include "platform/win32/win32_keys.h"

namespace {

using platform::Key;
using platform::KeyOfWindowsKey;

// What MapVirtualKeyW(MAPVK_VK_TO_CHAR) says of a key on a US layout: its
// unshifted character, a capital for a letter.
uint32_t UsTyped(Key key) {
  const platform::KeyInfo* info = platform::KeyInfoOf(key);
  return info ? static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(info->plain))) : 0;
}

// Every key comes back from the codes a key message carries for it on a US
// keyboard (the extended bit is DirectInput's 0x80 of the scan code).
TEST(Win32Keys, EveryKeyFromTheCodesOfItsMessage) {
  for (int k = 1; k < platform::kKeyCount; ++k) {
    const Key key = static_cast<Key>(k);
    const platform::WindowsKeyCodes codes = platform::WindowsCodesOf(key);
    EXPECT_EQ(KeyOfWindowsKey(codes.scanCode & 0x7F, (codes.scanCode & 0x80) != 0,
                              static_cast<unsigned>(codes.virtualKey), UsTyped(key)),
              key)
        << k;
  }
}

// Letters follow the layout's letters; a letter's place typing a sign is
// that sign's key; the keypad and the keys the layer has no use for are
// none, but the keypad's Enter is Enter.
TEST(Win32Keys, LettersByLayoutKeypadAndTheRestByPlace) {
  EXPECT_EQ(KeyOfWindowsKey(0x15, false, 'Z', 'Z'), Key::Z);  // German: Z where a US Y is
  EXPECT_EQ(KeyOfWindowsKey(0x2C, false, 'Y', 'Y'), Key::Y);
  EXPECT_EQ(KeyOfWindowsKey(0x10, false, 'A', 'A'), Key::A);  // French
  EXPECT_EQ(KeyOfWindowsKey(0x27, false, 'M', 'M'), Key::M);
  EXPECT_EQ(KeyOfWindowsKey(0x32, false, 0xBC, ','), Key::Comma);
  EXPECT_EQ(KeyOfWindowsKey(0x32, false, 0xDF, '!'), Key::None);     // typed only shifted on a US keyboard
  EXPECT_EQ(KeyOfWindowsKey(0x23, false, 'H', 0x0420), Key::H);       // Russian: a Cyrillic letter
  EXPECT_EQ(KeyOfWindowsKey(0x1A, false, 0xBA, 0x8000005Eu), Key::LeftBracket);  // a dead key types nothing yet
  EXPECT_EQ(KeyOfWindowsKey(0x1C, true, 0x0D, '\r'), Key::Enter);     // the keypad's Enter
  EXPECT_EQ(KeyOfWindowsKey(0x48, false, 0x68, '8'), Key::None);      // the keypad's 8, not Up
  EXPECT_EQ(KeyOfWindowsKey(0x48, true, 0x26, 0), Key::Up);
  EXPECT_EQ(KeyOfWindowsKey(0x35, true, 0x6F, '/'), Key::None);       // the keypad's /
  EXPECT_EQ(KeyOfWindowsKey(0x45, true, 0x90, 0), Key::None);         // Num Lock
  EXPECT_EQ(KeyOfWindowsKey(0x45, false, 0x13, 0), Key::Pause);
  EXPECT_EQ(KeyOfWindowsKey(0x00, false, 0x13, 0), Key::Pause);       // a Pause without its scan code
  EXPECT_EQ(KeyOfWindowsKey(0x1D, true, 0x11, 0), Key::None);         // right Ctrl
  EXPECT_EQ(KeyOfWindowsKey(0x3F, false, 0x74, 0), Key::None);        // F5
  EXPECT_EQ(KeyOfWindowsKey(0x3A, false, 0x14, 0), Key::None);        // Caps Lock, past the table
}

std::string Typed(platform::Utf16Text& text, std::initializer_list<uint16_t> units) {
  std::string out;
  for (uint16_t u : units) out += text.Take(u);
  return out;
}

// WM_CHAR's units as UTF-8: a pair across two messages is one character; a
// half without its partner and the control characters type nothing.
TEST(Win32Keys, TypedTextJoinsPairsAndDropsControlCharacters) {
  platform::Utf16Text text;
  EXPECT_EQ(Typed(text, {'a', ' ', '~'}), "a ~");
  EXPECT_EQ(Typed(text, {0xE9, 0x20AC, 0xFFFD}), "\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD");
  EXPECT_EQ(text.Take(0xD83D), "");
  EXPECT_EQ(text.Take(0xDE00), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Typed(text, {0xDBFF, 0xDFFF}), "\xF4\x8F\xBF\xBF");  // the last character there is
  EXPECT_EQ(Typed(text, {0xD800, 0xDC00}), "\xF0\x90\x80\x80");  // and the first beyond 16 bits
  EXPECT_EQ(Typed(text, {0xD83D, 0xDC00}), "\xF0\x9F\x90\x80");
  EXPECT_EQ(Typed(text, {0xFFFF, 0xE000}), "\xEF\xBF\xBF\xEE\x80\x80");  // past the halves, one unit each
  EXPECT_EQ(Typed(text, {0x08, 0x0D, 0x1B, 0x1F, 0x7F, 0x00}), "");
  EXPECT_EQ(Typed(text, {0xD83D, 'b'}), "b");         // a first half cut short
  EXPECT_EQ(Typed(text, {0xDE00, 'c'}), "c");         // a second half alone
  EXPECT_EQ(Typed(text, {0xD800, 0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");  // the later first half wins
  EXPECT_EQ(Typed(text, {0x7E, 0x80, 0x7FF, 0x800}), "~\xC2\x80\xDF\xBF\xE0\xA0\x80");
}

platform::WindowPlacement remembered;
platform::WindowPlacement Remembered() { return remembered; }

// A window opens as the user left it if the desktop still holds that, else
// at the largest whole-number scale leaving a tenth of the desktop free;
// centred where the programs asked for 800 x 600.
TEST(WindowOpening, AsLeftOrAtAWholeScale) {
  platform::WindowParams params;
  params.x = 560;
  params.y = 240;
  auto plan = [&](int dw, int dh) {
    const platform::WindowOpening o = platform::PlanWindow(params, dw, dh);
    return std::to_string(o.x) + "," + std::to_string(o.y) + " " + std::to_string(o.width) + "x" +
           std::to_string(o.height);
  };
  EXPECT_EQ(plan(1920, 1080), "560,240 800x600");
  EXPECT_EQ(plan(2560, 1440), "160,-60 1600x1200");
  EXPECT_EQ(plan(2666, 2000), "160,-60 1600x1200");  // 2400 is more than nine tenths of 2666
  EXPECT_EQ(plan(2667, 2000), "-240,-360 2400x1800");
  EXPECT_EQ(plan(800, 600), "560,240 800x600");

  params.loadPlacement = Remembered;
  remembered = {1000, 700, true, true};
  EXPECT_EQ(plan(1920, 1080), "460,190 1000x700");
  EXPECT_EQ(platform::PlanWindow(params, 1920, 1080).remembered, remembered);
  EXPECT_EQ(plan(1000, 700), "460,190 1000x700");
  EXPECT_EQ(plan(999, 1080), "560,240 800x600");  // no longer fits: as if never left
  EXPECT_EQ(plan(1920, 699), "560,240 800x600");
  remembered = {200, 100, false, false};
  EXPECT_EQ(plan(1920, 1080), "760,390 400x300");
}

}  // namespace

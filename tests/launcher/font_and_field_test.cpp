// The bitmap font's column scan and drawing, and the text field's mouse,
// keyboard and caret rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "launcher/bitmap_font.h"
#include "launcher/text_field.h"
#include "gx/key_queue.h"
#include "platform/device/input.h"
#include "gx/frame_clock.h"
#include "tests/launcher/launcher_test_support.h"

namespace {

using namespace fwtest;
using launchertest::GlyphWidth;

constexpr int kScanA = 30;  // the "a" key

class FontTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGraphics();
    path_ = launchertest::WriteTestFont(ScratchDir() + "/font.bmp");
    ASSERT_TRUE(font_.LoadProportional(path_.c_str()));
  }
  // True when any pixel of column x (rows of the font) is white.
  static bool Inked(IDirectDrawSurface* s, int x) {
    for (int y = 0; y < launchertest::kFontHeight; ++y)
      if (Pixel(s, x, y) == kWhite) return true;
    return false;
  }

  std::string path_;
  BitmapFont font_;
};

TEST_F(FontTest, ScanFindsEveryGlyphAndDerivesSpacing) {
  int x = 1;
  for (int ch = 33; ch <= 126; ++ch) {
    const FontGlyph& g = font_.glyphs[ch - 33];
    EXPECT_EQ(g.start, x) << ch;
    EXPECT_EQ(g.width, GlyphWidth(ch)) << ch;
    x += GlyphWidth(ch) + 1;
  }
  EXPECT_EQ(font_.height, launchertest::kFontHeight);
  EXPECT_EQ(font_.spaceWidth, 5);  // widest 10 x 0.5
  EXPECT_EQ(font_.spacing, 1);     // widest 10 x 0.1
}

TEST_F(FontTest, BitmapWithoutClosingBlueColumnFails) {
  BitmapFont broken;
  EXPECT_FALSE(broken.LoadProportional(launchertest::WriteTestFont(ScratchDir() + "/open.bmp", false).c_str()));
  BitmapFont missing;
  EXPECT_FALSE(missing.LoadProportional((ScratchDir() + "/nothing.bmp").c_str()));
}

TEST_F(FontTest, AdvancesOfSpacesControlsAndCodesAboveTilde) {
  EXPECT_EQ(font_.TextWidth("   "), 15);
  EXPECT_EQ(font_.CharAdvance('\t'), 5);
  EXPECT_EQ(font_.CharAdvance('A'), GlyphWidth('A') + 1);
  // Codes above "~" have no glyph in a strip of the 94: they show as "?".
  EXPECT_EQ(font_.CharAdvance(0xE9), GlyphWidth('?') + 1);
  EXPECT_EQ(font_.CharAdvance(127), GlyphWidth('?') + 1);
  SurfaceHolder target(NewSurface(64, 8));
  FillAll(target, kBlack);
  EXPECT_EQ(font_.DrawChar(target, '\t', 0, 0), 0);
  EXPECT_EQ(font_.DrawString(target, "   ", 0, 0, 0, -1), 1);
  for (int x = 0; x < 64; ++x) EXPECT_FALSE(Inked(target, x));
}

TEST_F(FontTest, RightLimitStopsBeforeACharacterEndingOnIt) {
  const int a = font_.CharAdvance('A'), b = font_.CharAdvance('B');
  SurfaceHolder target(NewSurface(64, 8));
  FillAll(target, kBlack);
  font_.DrawString(target, "ABA", 0, 0, 0, a + b);  // B would end exactly on the limit
  EXPECT_TRUE(Inked(target, 0));
  for (int x = a; x < 64; ++x) EXPECT_FALSE(Inked(target, x)) << x;
  FillAll(target, kBlack);
  font_.DrawString(target, "AB", 0, 0, 0, a + b + 1);
  EXPECT_TRUE(Inked(target, a));
}

TEST_F(FontTest, LeftAlignedDrawsWholeTextsWithoutLimitAndNothingPastALimit) {
  SurfaceHolder target(NewSurface(64, 8));
  FillAll(target, kBlack);
  font_.DrawString(target, "!AB", 0, 0, 0, -1);
  const int inkEnd = font_.TextWidth("!AB") - font_.spacing;  // the last glyph's own columns end here
  for (int x = 0; x < 64; ++x) EXPECT_EQ(Inked(target, x), x < inkEnd && x != GlyphWidth('!') &&
                                                               x != GlyphWidth('!') + 1 + GlyphWidth('A')) << x;
  FillAll(target, kBlack);
  font_.DrawString(target, "AB", 0, 0, 0, font_.CharAdvance('A') + 2);  // B would pass the limit
  for (int x = font_.CharAdvance('A'); x < 64; ++x) EXPECT_FALSE(Inked(target, x)) << x;
}

TEST_F(FontTest, RightAlignedEndsAtXAndOtherAlignsDrawNothing) {
  SurfaceHolder target(NewSurface(64, 8));
  FillAll(target, kBlack);
  font_.DrawString(target, "A", 20, 0, 1, -1);
  const int left = 20 - font_.CharAdvance('A');
  EXPECT_FALSE(Inked(target, left - 1));
  EXPECT_TRUE(Inked(target, left));
  EXPECT_FALSE(Inked(target, left + GlyphWidth('A')));
  FillAll(target, kBlack);
  EXPECT_EQ(font_.DrawString(target, "AAAA", 0, 0, 2, -1), 1);
  for (int x = 0; x < 64; ++x) EXPECT_FALSE(Inked(target, x));
}

class FieldTest : public FontTest {
 protected:
  void SetUp() override {
    FontTest::SetUp();
    keyQueue.Flush();
    field_.AllocText(64);
    field_.AddSharedFont(&font_);
    field_.SetRect(10, 20, 10000, 30);
  }
  // A key as the keyboard sends it; a letter key's text comes apart (Text).
  static void Tap(platform::Key key, int times = 1) {
    for (int i = 0; i < times; ++i)
      for (bool down : {true, false}) {
        platform::DeviceEvent e;
        e.kind = platform::DeviceEvent::Kind::Key;
        e.key = key;
        e.down = down;
        platform::ApplyDeviceEvent(e);
      }
  }
  static void Text(const std::string& utf8, int times = 1) {
    for (int i = 0; i < times; ++i) {
      platform::DeviceEvent e;
      e.kind = platform::DeviceEvent::Kind::Text;
      std::snprintf(e.text, sizeof e.text, "%s", utf8.c_str());
      platform::ApplyDeviceEvent(e);
    }
  }
  TextField field_;
};

// The buffer keeps two bytes free and never holds part of a character; the
// box takes what its width shows.
TEST_F(FieldTest, TakesAtMostCapacityMinusTwoBytesOfWholeCharactersOrWhatTheBoxHolds) {
  field_.SetFocus(1);
  Text("a", 70);
  field_.PollKeys();
  EXPECT_EQ(field_.length, 62);
  EXPECT_EQ(std::string(field_.Text()), std::string(62, 'a'));
  const std::string euro = "\xE2\x82\xAC";
  field_.SetText("");
  Text(euro, 30);  // 20 of them fill 60 bytes, a 21st would cut into the last two
  field_.PollKeys();
  EXPECT_EQ(field_.length, 60);
  Text(euro + "\xC3\xAB" + "a");  // only the two bytes of the "e" with diaeresis still fit
  field_.PollKeys();
  EXPECT_EQ(field_.length, 62);
  EXPECT_EQ(std::string(field_.Text()).substr(57), euro + "\xC3\xAB");
  Tap(platform::Key::Backspace);
  field_.PollKeys();
  EXPECT_EQ(field_.length, 60);

  TextField narrow;
  narrow.AllocText(64);
  narrow.AddSharedFont(&font_);
  narrow.SetRect(0, 0, 3 * font_.CharAdvance('a') + 1, 30);  // room for three, not four
  narrow.SetFocus(1);
  Text("a", 10);
  narrow.PollKeys();
  EXPECT_STREQ(narrow.Text(), "aaa");
}

// Text comes in the order it was typed with the keys, however many arrived
// in one frame; Backspace takes a whole character; a key's own press types
// nothing (its text does).
TEST_F(FieldTest, TextAndKeysInTypedOrderBackspaceTabAndEnter) {
  using platform::Key;
  field_.SetFocus(1);
  Tap(Key::Backspace, 2);
  field_.PollKeys();
  EXPECT_STREQ(field_.Text(), "");
  Text("a");
  Text("b");
  Tap(Key::Backspace);
  Text("c");
  Tap(Key::A);
  field_.PollKeys();
  EXPECT_STREQ(field_.Text(), "ac");
  Text("Zo\xC3\xAB");
  Tap(Key::Backspace);
  Tap(Key::Tab);
  Text("x");
  EXPECT_EQ(field_.PollKeys(), TextField::kTab);
  EXPECT_STREQ(field_.Text(), "acZo");
  EXPECT_EQ(field_.focused, 1);
  Tap(Key::Enter);
  EXPECT_EQ(field_.PollKeys(), TextField::kEnter);
  EXPECT_EQ(field_.focused, 0);
  EXPECT_STREQ(field_.Text(), "acZox");
  // Unfocused or read-only fields take nothing.
  Text("a");
  EXPECT_EQ(field_.PollKeys(), 0);
  field_.SetFocus(1);
  field_.SetEditable(0);
  Text("a");
  EXPECT_EQ(field_.PollKeys(), 0);
  EXPECT_STREQ(field_.Text(), "acZox");
}

// An e-mail address keeps its "-", "_", "@" and "."; ":" would split the
// player string, and control characters are no text: neither is taken.
TEST_F(FieldTest, TypesPunctuationAndLettersButNotTheFieldSeparatorOrControls) {
  field_.SetFocus(1);
  Text("a-_;@.'");
  Text(":\t\x7F\xC2\x85");  // C1 control NEL too
  Text("\xC3\x85ngstr\xC3\xB6m");
  field_.PollKeys();
  EXPECT_STREQ(field_.Text(), "a-_;@.'\xC3\x85ngstr\xC3\xB6m");
}

TEST_F(FieldTest, FocusingFlushesOnlyAnUnfocusedField) {
  Tap(platform::Key::A);
  field_.SetFocus(1);
  EXPECT_EQ(keyQueue.Pop(), 0);
  Tap(platform::Key::A);
  field_.SetFocus(1);
  EXPECT_EQ(keyQueue.Pop(), kScanA);
}

// Fast typing: what comes after the Tab (or Enter, or an arrow) in the same
// frame goes into the field that takes the focus, not nowhere.
TEST_F(FieldTest, TextTypedAfterTheKeyThatMovesTheFocusGoesToTheNextField) {
  TextField next;
  next.AllocText(64);
  next.AddSharedFont(&font_);
  next.SetRect(10, 60, 10000, 30);
  field_.SetFocus(1);
  for (platform::Key key : {platform::Key::Tab, platform::Key::Enter, platform::Key::Down}) {
    next.SetText("");
    Text("ab");
    Tap(key);
    Text("cd");
    EXPECT_NE(field_.PollKeys(), 0);
    field_.SetFocus(0);
    next.SetFocus(1);
    next.PollKeys();
    EXPECT_STREQ(next.Text(), "cd");
    next.SetFocus(0);
    field_.SetFocus(1);
  }
  EXPECT_STREQ(field_.Text(), "ababab");
  // A focus taken otherwise (a click) still drops what was typed before it.
  field_.SetFocus(0);
  Text("x");
  next.SetFocus(1);
  next.PollKeys();
  EXPECT_STREQ(next.Text(), "cd");
}

// The system's text input (an input method, a phone's keyboard) is on while
// any field has the focus, through a hand-over from one field to the next in
// either order, and off once none has, a field destroyed while focused too.
TEST_F(FieldTest, TheSystemsTextInputIsOnWhileAFieldHasTheFocus) {
  EXPECT_FALSE(platform::TextInputOn());
  auto other = std::make_unique<TextField>();
  field_.SetFocus(1);
  EXPECT_TRUE(platform::TextInputOn());
  other->SetFocus(1);
  field_.SetFocus(0);
  EXPECT_TRUE(platform::TextInputOn());
  field_.SetFocus(1);
  field_.SetFocus(1);
  other->SetFocus(0);
  EXPECT_TRUE(platform::TextInputOn());
  field_.SetFocus(0);
  field_.SetFocus(0);
  EXPECT_FALSE(platform::TextInputOn());
  other->SetFocus(1);
  other.reset();
  EXPECT_FALSE(platform::TextInputOn());
}

TEST_F(FieldTest, ClicksSelectThenEditThenEndEditingWithTheInsetHitBox) {
  field_.SetRect(100, 100, 50, 30);
  field_.SetInset(7, 5);
  EXPECT_TRUE(field_.Hit(100 + 50 + 7, 100 + 5));  // edges included, shifted by the inset
  EXPECT_FALSE(field_.Hit(100, 100));
  EXPECT_FALSE(field_.Hit(100 + 50 + 8, 110));

  EXPECT_EQ(field_.Click(120, 115), 0);
  EXPECT_EQ(field_.highlighted, 1);
  EXPECT_EQ(field_.Click(120, 115), 1);
  EXPECT_EQ(field_.Click(120, 115), 0);
  EXPECT_EQ(field_.highlighted, 1);
  field_.Click(120, 115);
  EXPECT_EQ(field_.Click(0, 0), 0);
  EXPECT_EQ(field_.highlighted, 0);

  field_.SetSelectMode(0);
  EXPECT_EQ(field_.Click(120, 115), 1);
  EXPECT_EQ(field_.highlighted, 0);
  EXPECT_EQ(field_.Click(0, 0), 0);
}

TEST_F(FieldTest, SetTextKeepsRoomForTheTerminator) {
  field_.SetText(std::string(63, 'b').c_str());
  EXPECT_EQ(field_.length, 63);
  field_.SetText(std::string(64, 'c').c_str());  // would not leave room for the terminator
  EXPECT_EQ(std::string(field_.Text()), std::string(63, 'b'));
}

TEST_F(FieldTest, DrawsAtTheInsetInTheHighlightFontWithTheCaretAfterTheText) {
  BitmapFont green;
  ASSERT_TRUE(green.LoadProportional(launchertest::WriteTestFont(ScratchDir() + "/green.bmp", true, 0x00FF00).c_str()));
  field_.AddSharedFont(&green);
  field_.SetRect(2, 1, 40, 6);
  field_.SetInset(3, 1);
  field_.SetText("A");
  field_.SetCaret(WriteSolidBmp(ScratchDir() + "/caret.bmp", 2, 4, 0xFF0000).c_str());
  field_.SetFocus(1);
  SurfaceHolder target(NewSurface(64, 8));
  auto draw = [&] {
    ClockTick(510);  // past the blink deadline: each draw flips the caret's phase
    FillAll(target, kBlack);
    field_.Draw(target);
  };
  draw();
  if (Pixel(target, 5 + font_.TextWidth("A"), 2) != kRed) draw();  // the phase with the caret shown
  EXPECT_EQ(Pixel(target, 4, 2), kBlack);
  EXPECT_EQ(Pixel(target, 5, 2), kWhite);  // font 0 at (x + insetX, y + insetY)
  EXPECT_EQ(Pixel(target, 5 + font_.TextWidth("A"), 2), kRed);
  field_.SetHighlight(1);
  draw();
  draw();
  EXPECT_EQ(Pixel(target, 5, 2), kGreen);  // font 1 while highlighted
}

TEST_F(FieldTest, CaretBlinksEverySecondOnlyWhileFocusedAndEditable) {
  const std::string caretPath = WriteSolidBmp(ScratchDir() + "/caret.bmp", 3, 4, 0xFF0000);
  field_.SetRect(0, 0, 200, 10);
  field_.SetCaret(caretPath.c_str());
  field_.SetFocus(1);
  SurfaceHolder target(NewSurface(64, 8));
  auto shownAfter = [&](int ms) {
    for (int t = 0; t < ms; t += 10) ClockTick(10);
    FillAll(target, kBlack);
    field_.Draw(target);
    return Pixel(target, 1, 1) == kRed;
  };
  // Sampled every frame for three seconds: every whole phase lasts half a second.
  std::vector<int> runs{0};
  bool last = shownAfter(10);
  for (int t = 0; t < 3000; t += 10) {
    const bool now = shownAfter(10);
    if (now != last) runs.push_back(0);
    runs.back() += 10;
    last = now;
  }
  ASSERT_GE(runs.size(), 5u);
  for (size_t i = 1; i + 1 < runs.size(); ++i) {
    EXPECT_GE(runs[i], 500) << i;
    EXPECT_LE(runs[i], 510) << i;
  }
  field_.SetEditable(0);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(shownAfter(250));
}

}  // namespace

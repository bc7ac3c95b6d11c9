// The launcher's one-line text box: a string in a bitmap font that can be
// selected (highlighted) and focused with the mouse, takes typed text (UTF-8,
// from the system's text input, on while a field is focused) and the keys
// Tab, Enter and Backspace from the keyboard queue while focused, and shows
// a blinking block caret.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/ddraw.h"

class BitmapFont;
class Sprite;

class TextField;

// A field as the launcher's screens make them: 64 bytes of text, font 0 and
// font 1 (the highlight) shared with the screen, the block caret of the
// launcher's directory.
std::unique_ptr<TextField> MakeLauncherField(BitmapFont* font, BitmapFont* highlightFont,
                                             const std::string& launcherDirectory);

class TextField {
 public:
  static constexpr int kBackspace = 14;
  static constexpr int kTab = 15;
  static constexpr int kEnter = 28;
  static constexpr int kCaretHalfPeriod = 500;  // ms on, then ms off
  static constexpr char kFieldSeparator = ':';  // never typed into a field

  TextField();
  ~TextField();
  TextField(const TextField&) = delete;
  TextField& operator=(const TextField&) = delete;

  void SetRect(int x, int y, int width, int height);
  void SetInset(int x, int y);
  // A zero-filled buffer of capacity bytes; the text holds at most capacity - 2 bytes of typed
  // characters, never part of one.
  void AllocText(int capacity);
  // Leaves the field unchanged when s does not fit the buffer.
  void SetText(const char* s);
  // The font stays its owner's; the box takes its height.
  void AddSharedFont(BitmapFont* font);
  void SetCaret(const char* path);
  // Focusing a field that was not focused drops the keys typed before.
  void SetFocus(int on);
  void SetHighlight(int on) { highlighted = on; }
  void SetSelectMode(int on) { selectMode = on; }
  void SetEditable(int on) { editable = on; }
  // The owner calls it on the frame the left button goes down; returns focused.
  int Click(int mouseX, int mouseY);
  // Takes the queued keys and text in order; returns the last key code
  // handled (Tab and Enter return at once), 0 when there was none.
  int PollKeys();
  void Draw(IDirectDrawSurface* target);

  const char* Text() const { return text ? text.get() : ""; }
  bool Hit(int mouseX, int mouseY) const;

  int32_t x, y;
  int32_t insetX, insetY;
  int32_t width, height;
  std::unique_ptr<char[]> text;
  std::vector<BitmapFont*> fonts;
  int32_t capacity;
  int32_t length;
  std::unique_ptr<Sprite> caret;
  int32_t caretOn;
  int32_t focused;
  int32_t highlighted;
  int32_t fontsShared;
  int32_t selectMode;
  int32_t editable;

 private:
  // Adds the characters of typed that the field takes and that fit.
  void Type(const char* typed);
  // Font 1 while highlighted (when there is one), else font 0.
  BitmapFont* DrawingFont() const;
};

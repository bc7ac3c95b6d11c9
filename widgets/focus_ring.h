// Keyboard focus over a screen's buttons: a frame around one of them, moved
// with the arrow keys (to the nearest button that way) and Tab, and pressed
// with Enter or Space. A press sets the button's click pulse, so the screen's
// own "was it pressed?" code runs exactly as for a click.
//
// Whether the frame shows is shared by every ring: it appears with the first
// key that moves focus and goes when the mouse moves, so the player sees it
// on each screen and pop-up for as long as they play by keys. While it is
// hidden a key only shows it, except Enter or Space with a single target,
// which press that at once.
#pragma once

#include <string>
#include <vector>

#include "platform/win/ddraw.h"

class Button;
class ButtonSet;

// Something the ring can land on, in screen coordinates.
struct FocusTarget {
  std::string name;
  RECT rect;
};

// A frame of dark and light lines just inside rect, drawn on the back buffer
// and queued so that the redraw manager takes it away again after it was
// shown: whoever wants it seen draws it every frame.
void DrawFocusFrame(const RECT& rect);

class FocusRing {
 public:
  // What a key did.
  enum class Result {
    kNone,     // not a key of the ring: the caller may use it
    kShown,    // the ring was hidden and is shown now, focus unchanged
    kMoved,    // focus moved (or stayed, with nothing further that way)
    kPressed,  // Enter or Space on the focused target
    kBlocked,  // an arrow with no target that way
  };

  // The enabled buttons of set that have a size, in the set's order.
  static std::vector<FocusTarget> ButtonTargets(const ButtonSet* set);
  // Sets the click pulse of the enabled button named name (after the set's
  // UpdateAll of this frame, so the screen's WasPressed sees it).
  static void Press(ButtonSet* set, const std::string& name);
  static void Press(Button* button);

  static bool Shown();
  static void Show();
  static void Hide();
  // Hides every ring when the pointer is not where it was last time.
  static void NoteMouse(int x, int y);

  // event as the key queue gives it (scan code, shift bit).
  Result HandleKey(int event, const std::vector<FocusTarget>& targets);
  // Pops every queued key: ring keys act on targets, the first press sets the
  // button's click pulse (buttons of set) or is reported in pressed (other
  // targets); keys after a press are dropped, as a second click in one frame
  // would be. Returns the last key that was not the ring's, or an arrow that
  // found no target that way, 0 if none.
  int PollKeys(ButtonSet* set, const std::vector<FocusTarget>& targets, std::string* pressed);
  // Draws the frame around the focused target while the ring is shown.
  void Draw(const std::vector<FocusTarget>& targets) const;

  void Focus(const std::string& name) { focused = name; }
  const std::string& Focused() const { return focused; }
  // "focus NAME", or "focus -" when hidden, for the programs' text dumps.
  std::string Describe() const;

 private:
  // The focused target's index, after making sure focus is on one of them.
  int FocusedIndex(const std::vector<FocusTarget>& targets);

  std::string focused;
};

// Where screens read the mouse: the pointer position in the 800 x 600
// drawing area and the two button bits (bit 0 left, bit 1 right).
#pragma once

#include <atomic>

class MouseCursor {
 public:
  void SetPosition(int x, int y);
  // Each out may be null. The frame's read, on the main thread: a read of
  // the buttons takes the library's once it has a mouse (Poll), held now or
  // pressed since the previous read, so a quick tap between two frames reads as pressed once
  // however far apart the frames are. A read that sees a quick tap's press
  // lets its release take effect for the next read of buttons set by hand.
  void GetState(int* x, int* y, int* buttons);
  // Takes the library's mouse buttons, unless they are set by hand.
  void Poll();
  // Forgets the presses since the previous read; buttons still held stay
  // held. For a program that takes no clicks while it is busy (the game's
  // blocking animations).
  void DropPresses();
  void SetLeftButton(int on);
  void SetRightButton(int on);
  // Buttons set by hand (SetLeftButton, SetRightButton) instead of taken
  // from the library: tests that own the button bits.
  void SetMessageButtons(int on);

 private:
  void SetMessageButton(int bit, int on);

  std::atomic<int> x_{0}, y_{0};
  std::atomic<int> buttons_{0};
  std::atomic<int> messageButtons_{0};
  // Buttons set by hand: a press and its release can both come before any
  // frame reads the state. Such a press is kept until one read has seen it,
  // so a quick tap still clicks.
  std::atomic<int> unseenPress_{0};
  std::atomic<int> pendingRelease_{0};
};

extern MouseCursor mouseCursor;

// Where screens read the mouse: the pointer position in the 800 x 600
// drawing area and the two button bits (bit 0 left, bit 1 right).
#pragma once

#include <atomic>
#include <cstdint>

class MouseCursor {
 public:
  void SetPosition(int x, int y);
  // Each out may be null. The frame's read, on the main thread: when the
  // clock has ticked since the buttons were last taken, takes them (Poll),
  // so the mouse is read once per 10 ms step, as of that step. A read that
  // sees a quick tap's press lets its release take effect for the next read
  // of buttons set by hand.
  void GetState(int* x, int* y, int* buttons);
  // Takes the library's mouse buttons, unless they are set by hand.
  void Poll();
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
  // The timer callbacks run when the buttons were last taken.
  std::atomic<uint64_t> polledAt_{0};
  // Buttons set by hand: a press and its release can both come before any
  // frame reads the state. Such a press is kept until one read has seen it,
  // so a quick tap still clicks.
  std::atomic<int> unseenPress_{0};
  std::atomic<int> pendingRelease_{0};
};

extern MouseCursor mouseCursor;

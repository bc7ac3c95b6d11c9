// Where screens read the mouse: the pointer position in the 800 x 600
// drawing area and the two button bits (bit 0 left, bit 1 right).
#pragma once

#include <atomic>

class MouseCursor {
 public:
  void SetPosition(int x, int y);
  // Each out may be null.
  void GetState(int* x, int* y, int* buttons) const;
  // The frame clock's 10 ms step: reads the library's mouse buttons unless
  // the buttons are fed by window messages.
  void Poll();
  void SetLeftButton(int on);
  void SetRightButton(int on);
  void SetMessageButtons(int on);

 private:
  std::atomic<int> x_{0}, y_{0};
  std::atomic<int> buttons_{0};  // written by the timer thread in the game
  std::atomic<int> messageButtons_{0};
};

extern MouseCursor mouseCursor;

// Where screens read the mouse: the pointer position in the 800 x 600
// drawing area and the two button bits (bit 0 left, bit 1 right).
#pragma once

#include <atomic>

class MouseCursor {
 public:
  void SetPosition(int x, int y);
  // Each out may be null. A read that sees a quick tap's press lets its
  // release take effect for the next read.
  void GetState(int* x, int* y, int* buttons);
  // The frame clock's 10 ms step: reads the library's mouse buttons unless
  // the buttons are fed by window messages.
  void Poll();
  void SetLeftButton(int on);
  void SetRightButton(int on);
  void SetMessageButtons(int on);

 private:
  void SetMessageButton(int bit, int on);

  std::atomic<int> x_{0}, y_{0};
  std::atomic<int> buttons_{0};  // written by the timer thread in the game
  std::atomic<int> messageButtons_{0};
  // Message-driven buttons: a press and its release can arrive in one pump,
  // before any frame reads the state. Such a press is kept until one read
  // has seen it, so a quick tap still clicks.
  std::atomic<int> unseenPress_{0};
  std::atomic<int> pendingRelease_{0};
};

extern MouseCursor mouseCursor;

// Where screens read the mouse: the pointer position in the 800 x 600
// drawing area and the two button bits (bit 0 left, bit 1 right). A screen
// detects a click by comparing the buttons with those of its previous read.
#pragma once

#include "platform/device/device_event.h"

class MouseCursor {
 public:
  void SetPosition(int x, int y);
  // Subtracted from the device's positions: a maximised window centres the
  // picture in its client area.
  void SetOffset(int x, int y);
  // Each out may be null. A read of the buttons takes from the input queue
  // what came since the previous read, up to a button that would go both
  // ways, and gives the buttons after it with the position of its last
  // press or release; with nothing queued, the buttons held and the latest
  // position. So a press and its release between two frames read as
  // pressed, then released, and two taps as two clicks, however long a
  // frame takes.
  void GetState(int* x, int* y, int* buttons);
  // Takes every queued press and release: buttons still held stay held. For
  // a program that takes no clicks while it is busy (the game's blocking
  // animations).
  void DropPresses();

 private:
  void Apply(const platform::DeviceEvent& e);

  int x_ = 0, y_ = 0;
  int offsetX_ = 0, offsetY_ = 0;
  int buttons_ = 0;
};

extern MouseCursor mouseCursor;

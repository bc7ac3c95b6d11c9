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
  // Each out may be null. A read of the buttons takes the next press or
  // release from the input queue and gives the buttons after it, with the
  // position where it happened; with none left, the buttons held and the
  // latest position. So a press and its release between two frames read as
  // pressed, then released, and two taps as two clicks, however long a frame
  // takes. Without buttons, only the moves before the next button event are
  // taken.
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

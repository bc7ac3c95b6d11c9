// A picture of the game that a key closes as a click on it would. Keys
// pressed before it opened do not count.
#pragma once

#include "gx/key_queue.h"
#include "screens/popup_screen.h"

class KeyClosingPopup : public PopupScreen {
 public:
  KeyClosingPopup() { keyQueue.Flush(); }
  int Update(int x, int y, int buttons) override {
    if (keyQueue.Pop() != 0) EndWith("default");
    return PopupScreen::Update(x, y, buttons);
  }
};

// The game's one screen, registered as "balloon".
#pragma once

#include "screens/screen.h"

class GameScreen : public Screen {
 public:
  GameScreen();
  int Run(int active) override;
};

extern GameScreen gameScreen;

// The game's one screen, registered as "balloon": it loads every picture,
// button and sound of the game, keeps the sheets and templates the
// animations are copied from, and hands each frame to the game.
#pragma once

#include "screens/screen.h"
#include "widgets/sprite.h"

class GameScreen : public Screen {
 public:
  static constexpr int kHeads = 25;
  static constexpr int kGuys = 20;
  static constexpr int kGuyPoses = 14;

  GameScreen();
  ~GameScreen() override;

  void Enter(IDirectDraw* directDraw, IDirectDrawSurface* surface) override;
  void Leave() override;
  int HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  int Run(int active) override;

  // Twenty guys afresh, standing at home; drops every running animation.
  void MakeGuys();

  Sprite* HeadsSheet() const { return headsSheet; }
  Sprite* ScoreFont() const { return scoreFont; }
  Sprite* MultiplierStrip() const { return multiplierStrip; }
  Sprite* CrumbleTemplate(int t) const { return (t >= 0 && t < kHeads) ? crumbleTemplates[t] : nullptr; }
  Sprite* GuySheet() const { return guySheet; }

 private:
  void FreeSheets();

  ScreenImage* background = nullptr;
  ScreenImage* secondBackground = nullptr;
  Sprite* headsSheet = nullptr;
  Sprite* scoreFont = nullptr;
  Sprite* multiplierStrip = nullptr;
  Sprite* crumbleSheet = nullptr;
  Sprite* crumbleTemplates[kHeads] = {};
  Sprite* guySheet = nullptr;
  Sprite* guyTemplates[kGuys] = {};
};

extern GameScreen gameScreen;

// The game's one screen, registered as "balloon": it loads every picture,
// button and sound of the game, keeps the sheets and templates the
// animations are copied from, and hands each frame to the game.
#pragma once

#include <vector>

#include "screens/screen.h"
#include "widgets/sprite.h"
class Button;
class Game;

class GameScreen : public Screen {
 public:
  static constexpr int kHeads = 25;
  static constexpr int kGuys = 20;
  static constexpr int kGuyPoses = 14;

  // The screen of this game; neither uses the other before both exist.
  explicit GameScreen(Game& game);
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
  // The pictures of a pause, of a board with no move left and of a game's end.
  Sprite* PausedCover() const { return pausedCover; }
  Sprite* NoMovesNotice() const { return noMovesNotice; }
  Sprite* SummaryPanel() const { return summaryPanel; }
  Sprite* NotListed() const { return notListed; }
  // "+", then the digits 0..9, in the pop-ups' style.
  const std::vector<IDirectDrawSurface*>& ScoreGlyphs() const { return scoreGlyphs; }
  // The invisible button over guy 0..19 (see quibbleton::kGuys), which
  // orders his push; null outside 0..19 or before Enter.
  Button* GuyHotSpot(int guy) const { return (guy >= 0 && guy < kGuys) ? guyHotSpots[guy] : nullptr; }

 private:
  void FreeSheets();

  Game& game;
  ScreenImage* background = nullptr;
  ScreenImage* secondBackground = nullptr;
  Sprite* headsSheet = nullptr;
  Sprite* scoreFont = nullptr;
  Sprite* multiplierStrip = nullptr;
  Sprite* crumbleSheet = nullptr;
  Sprite* crumbleTemplates[kHeads] = {};
  Sprite* guySheet = nullptr;
  Sprite* guyTemplates[kGuys] = {};
  Sprite* pausedCover = nullptr;
  Sprite* noMovesNotice = nullptr;
  Sprite* summaryPanel = nullptr;
  Sprite* notListed = nullptr;
  std::vector<IDirectDrawSurface*> scoreGlyphs;
  // Owned by the screen's buttons.
  Button* guyHotSpots[kGuys] = {};
};

extern GameScreen gameScreen;

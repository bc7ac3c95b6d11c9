// The game's one screen, registered as "balloon": it loads every picture,
// button and sound of the game, keeps the sheets and templates the
// animations are copied from, and hands each frame to the game.
#pragma once

#include <vector>

#include "game/palette.h"
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

  // The heads and their crumbles in the palette chosen; both palettes'
  // sheets stay loaded, so a crumble still running keeps its frames.
  Sprite* HeadsSheet() const { return headsSheets[PaletteIndex()]; }
  Sprite* ScoreFont() const { return scoreFont; }
  Sprite* MultiplierStrip() const { return multiplierStrip; }
  Sprite* CrumbleTemplate(int t) const {
    return (t >= 0 && t < kHeads) ? crumbleTemplates[PaletteIndex()][t] : nullptr;
  }
  // Loads that palette's sheets the first time it is chosen.
  void SetPalette(Palette chosen);
  Palette CurrentPalette() const { return palette; }
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
  int PaletteIndex() const { return palette == Palette::kColourBlind ? 1 : 0; }
  void LoadHeadSheets();

  Game& game;
  ScreenImage* background = nullptr;
  ScreenImage* secondBackground = nullptr;
  Palette palette = Palette::kUsual;
  Sprite* headsSheets[2] = {};
  Sprite* scoreFont = nullptr;
  Sprite* multiplierStrip = nullptr;
  Sprite* crumbleSheets[2] = {};
  Sprite* crumbleTemplates[2][kHeads] = {};
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

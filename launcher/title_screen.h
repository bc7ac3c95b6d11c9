// The launcher's title menu for one selected game, "title": play, how to
// play, credits, the hall of fame, the players, the sound switches shared by
// every game and the eight player names. Its files are reached by their
// folders: the game's (the title pictures) and the launcher's (the buttons,
// fonts and "options.ini"); the process's working directory stays.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "launcher/bitmap_font.h"
#include "launcher/text_field.h"
#include "screens/screen.h"
#include "widgets/focus_ring.h"

struct GameEntry;

class TitleScreen : public Screen {
 public:
  static constexpr int kPlayers = 8;

  TitleScreen();
  ~TitleScreen() override;

  void Enter(IDirectDraw* directDraw, IDirectDrawSurface* surface) override;
  void Leave() override;
  int Run(int active) override;
  int Flip() override;

  // Set by the game pages before they switch here; not owned.
  const GameEntry* entry = nullptr;
  // The launcher's directory (absolute), set with the entry.
  std::string launcherDirectory;

  int CurrentPlayer() const { return currentPlayer; }
  int SfxOn() const { return sfxOn; }
  int MusicOn() const { return musicOn; }
  const TextField* NameField(int i) const { return nameFields[i].get(); }
  const FocusRing& Ring() const { return ring; }

 private:
  // Each returns 7 when the program is closing, else 1.
  // path: a picture of the game's folder.
  int ShowPicture(const char* path);
  int ShowHallOfFame();
  int EditPlayer();
  int Play();
  void ShowPlayerName(int i);
  // The folders; the working directory (the launcher's) while none is set.
  std::string GameDirectory() const;
  std::string LauncherDirectory() const;
  std::string OptionsFile() const;
  void FlipOption(const char* buttonName, const char* key, int& flag);
  // A left click at (x, y) on the names: the one under it becomes the current player.
  void ClickNames(int x, int y);
  static std::string NameTargetName(int i);
  // The buttons, then the eight names.
  std::vector<FocusTarget> FocusTargets() const;

  std::unique_ptr<BitmapFont> normalFont;
  std::unique_ptr<BitmapFont> highlightFont;
  std::unique_ptr<TextField> nameFields[kPlayers];
  int currentPlayer = 0;
  int sfxOn = 1;
  int musicOn = 1;
  int previousButtons = 0;
  FocusRing ring;
};

extern TitleScreen titleScreen;

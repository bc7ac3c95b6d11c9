// The launcher's start screen, "Lobbo": the games found in the
// sub-directories of the launcher's directory, twelve picture buttons a
// page, page arrows and number, an info picture and the exit. The slot after
// the last game (and every empty slot once enabled) opens the home page.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "screens/screen.h"
#include "widgets/focus_ring.h"
#include "widgets/sprite.h"

// One discovered game. The directory is held whole; a name that does not fit
// the fixed fields is not a game (the scan skips it).
struct GameEntry {
  static constexpr size_t kNameSize = 64;

  std::string directory;     // the launcher's directory, "\" and the folder's name
  char executable[kNameSize];  // the folder's name and ".exe"
  char name[kNameSize];        // the folder's name, sent with score uploads
  // Loaded while its page is shown, null otherwise.
  std::unique_ptr<Sprite> buttonImage;
};

// A game folder as the scan finds it, before its picture is loaded.
struct GameFolder {
  std::string directory;
  std::string name;
};

// The sub-directories of launcherDirectory that are games, in listing order:
// plain directories (no other attribute), not starting with ".", holding a
// "LobboButton.bmp" whose header is a picture no larger than the page, with
// a name short enough for the entry. A folder whose picture is there but is
// not one (a folder, a damaged file) is skipped with a line on stderr.
std::vector<GameFolder> FindGameFolders(const std::string& launcherDirectory);

// Twelve slots a page; slot k (1..12) of page p stands for list index p * 12 + k - 1.
struct PageLayout {
  static constexpr int kSlots = 12;
  static int IndexOf(int page, int slot) { return page * kSlots + slot - 1; }
  // The extra button sits on the list index right after the last game.
  static int ExtraPage(int gameCount) { return gameCount / kSlots; }
  static int ExtraSlot(int gameCount) { return gameCount % kSlots + 1; }
  // The last page is the one that holds the extra slot.
  static bool HasNextPage(int page, int gameCount) { return gameCount >= (page + 1) * kSlots; }
};

class GamePagesScreen : public Screen {
 public:
  GamePagesScreen();
  ~GamePagesScreen() override;

  void Enter(IDirectDraw* directDraw, IDirectDrawSurface* surface) override;
  void Leave() override;
  int Run(int active) override;
  int Flip() override;

  // Selects every game whose executable begins with text (the last stays
  // selected); returns gameCount. Null selects nothing.
  int SelectByCommandLine(const char* text);
  void SelectGame(int index);
  // The page arrows: -1 back, +1 on, within the pages there are.
  void TurnPage(int step);

  int Page() const { return page; }
  const FocusRing& Ring() const { return ring; }
  int GameCount() const { return gameCount; }
  const GameEntry* Game(int index) const {
    return index >= 0 && index < gameCount ? games[static_cast<size_t>(index)].get() : nullptr;
  }

 private:
  void ScanGames();
  void DropPictures();
  void PlaceExtraButton();
  void DrawPageNumber(IDirectDrawSurface* target);
  // 0 when the program is closing.
  int ShowInfo();

  int page = 0;
  int gameCount = 0;
  std::vector<std::unique_ptr<GameEntry>> games;
  std::unique_ptr<Sprite> pageDigits;
  std::unique_ptr<Sprite> extraButtonImage;
  std::string homeAddress;
  // Where the scan looked, absolute; the title menu reaches its files by it.
  std::string launcherDirectory;
  FocusRing ring;
};

extern GamePagesScreen gamePagesScreen;

// The pop-up with the selected game's hall of fame: its "hiscore.dat" in two
// columns of ten, a clear button that asks first, and an upload that opens
// the browser on the score server with the best entry.
#pragma once

#include <memory>
#include <string>

#include "launcher/bitmap_font.h"
#include "launcher/key_popup.h"
#include "records/high_score_table.h"

class HallOfFameScreen : public KeyPopup {
 public:
  static constexpr int kEntries = 20;

  // game: the game's name as sent with the upload. Its pictures, fonts and
  // the server's address are the launcher's, in launcherDirectory; the
  // table and the replays the game's, in gameDirectory.
  HallOfFameScreen(const char* game, std::string launcherDirectory, std::string gameDirectory);
  ~HallOfFameScreen() override;

  void Setup() override;
  // Ends only through EndWith: "clear" (once the question over it was
  // answered yes) or "back"; 0 when the program closes during the question.
  int CheckEnd() override;

  const HighScoreTable& Table() const { return table; }

 private:
  void Upload();
  void Clear();
  void DrawTable(IDirectDrawSurface* target);

  std::unique_ptr<BitmapFont> blackFont;
  std::unique_ptr<BitmapFont> purpleFont;
  HighScoreTable table;
  std::string game;
  std::string launcherDirectory;
  std::string tableFile;
  std::string gameDirectory;
  std::string scoresAddress;
};

// The pop-up in which the current player's name, address, e-mail and the
// yes/no "send" choice are entered, kept or removed. "enter" stores the
// current player's record in the registry and its file at once (the pop-up
// stays open, with a message, when the file cannot take it).
#pragma once

#include <memory>
#include <string>

#include "launcher/bitmap_font.h"
#include "launcher/text_field.h"
#include "launcher/key_popup.h"

struct PlayerRecord;

class PlayersScreen : public KeyPopup {
 public:
  static constexpr int kFields = 3;  // name, address, e-mail

  // Its pictures and fonts are the launcher's, in launcherDirectory.
  explicit PlayersScreen(std::string launcherDirectory);
  ~PlayersScreen() override;

  void Setup() override;
  // Shows the record; not owned, it stays the registry's.
  void SetPlayer(PlayerRecord* record);
  // Ends only through EndWith: "play", "remove" or "back".
  int Update(int x, int y, int buttons) override;

  const TextField* Field(int i) const { return fields[i].get(); }
  int SendFlag() const { return sendFlag; }

 private:
  std::string launcherDirectory;
  std::unique_ptr<BitmapFont> nFont;
  std::unique_ptr<BitmapFont> hFont;
  std::unique_ptr<TextField> fields[kFields];
  PlayerRecord* record = nullptr;
  int sendFlag = 1;
  int previousButtons = 0;
};

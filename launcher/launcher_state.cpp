#include "launcher/launcher_state.h"

#include "launcher/game_pages.h"
#include "launcher/hall_of_fame.h"
#include "launcher/key_popup.h"
#include "launcher/players_screen.h"
#include "launcher/question_popup.h"
#include "launcher/title_screen.h"
#include "screens/screen_manager.h"
#include "widgets/button.h"

namespace {

void AddButtons(std::string& text, Screen* screen) {
  text += "buttons";
  if (ButtonSet* set = screen->GetButtons())
    for (int i = 0; i < set->Count(); ++i)
      if (set->At(i)->enabled) text += std::string(" ") + set->At(i)->name;
  text += "\n";
}

// The players pop-up's boxes as they show, the one taking keys (0 for none)
// and the send choice.
std::string DescribePlayers(const PlayersScreen& players) {
  std::string text = "fields";
  int focused = 0;
  for (int i = 0; i < PlayersScreen::kFields; ++i) {
    const TextField* field = players.Field(i);
    text += std::string(i == 0 ? " " : "|") + (field ? field->Text() : "");
    if (field && field->focused) focused = i + 1;
  }
  return text + "\nfield " + std::to_string(focused) + "\nsend " + (players.SendFlag() ? "yes" : "no") + "\n";
}

// The hall of fame's entries as it shows them, "name:score", best first.
std::string DescribeHall(const HallOfFameScreen& hall) {
  std::string text = "scores";
  for (int i = 0; i < HallOfFameScreen::kEntries; ++i)
    if (const HighScoreEntry* entry = hall.Table().Entry(i); entry && entry->score > 0)
      text += std::string(" ") + entry->name + ":" + std::to_string(entry->score);
  return text + "\n";
}

}  // namespace

std::string DescribeLauncher() {
  Screen* current = screenManager.Current();
  if (!current) return "screen none\n";
  std::string text = std::string("screen ") + current->GetName() + "\n";
  if (current == &gamePagesScreen) {
    const int page = gamePagesScreen.Page();
    text += "page " + std::to_string(page + 1) + "\ngames " + std::to_string(gamePagesScreen.GameCount()) + "\n";
    text += "slots";
    for (int slot = 1; slot <= PageLayout::kSlots; ++slot) {
      const GameEntry* game = gamePagesScreen.Game(PageLayout::IndexOf(page, slot));
      text += std::string(" ") + (game ? game->name : "-");
    }
    text += "\n";
  } else if (current == &titleScreen) {
    text += std::string("game ") + (titleScreen.entry ? titleScreen.entry->name : "") + "\n";
    text += "player " + std::to_string(titleScreen.CurrentPlayer()) + "\nnames";
    for (int i = 0; i < TitleScreen::kPlayers; ++i) {
      const TextField* field = titleScreen.NameField(i);
      text += std::string(" ") + (field && field->Text()[0] ? field->Text() : "-");
    }
    text += std::string("\nsfx ") + (titleScreen.SfxOn() ? "on" : "off") + "\nmusic " +
            (titleScreen.MusicOn() ? "on" : "off") + "\n";
  }
  AddButtons(text, current);
  if (current == &gamePagesScreen) text += gamePagesScreen.Ring().Describe();
  if (current == &titleScreen) text += titleScreen.Ring().Describe();
  if (const KeyPopup* popup = CurrentKeyPopup()) {
    text += "popup " + popup->Ring().Describe();
    // A question's focus is the one that counts; the pop-up under it still shows.
    const auto* question = dynamic_cast<const QuestionPopup*>(popup);
    if (question && question->Under()) popup = question->Under();
    if (const auto* players = dynamic_cast<const PlayersScreen*>(popup)) text += DescribePlayers(*players);
    if (const auto* hall = dynamic_cast<const HallOfFameScreen*>(popup)) text += DescribeHall(*hall);
    if (question) text += "question " + question->What() + "\n";
  }
  return text;
}

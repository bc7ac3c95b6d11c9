#include "launcher/hall_of_fame.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game/rules/replay.h"
#include "launcher/button_table.h"
#include "launcher/question_popup.h"
#include "launcher/replay_post.h"
#include "launcher/server_addresses.h"
#include "launcher/upload_address.h"
#include "platform/posix/files.h"
#include "platform/win/files.h"
#include "platform/win/shell_exec.h"
#include "platform/win/window.h"
#include "screens/player_registry.h"
#include "shell/app.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "records/shared_files.h"

namespace {

constexpr ButtonPlace kButtons[] = {
    {"upload", "UploadButton.bmp", 552, 88},
    {"clear", "ClearScores.bmp", 552, 149},
    {"back", "backbutton.bmp", 595, 220},
};

// Asked before "clear" wipes the table: "keep" is the safe answer.
constexpr QuestionLayout kClearQuestion = {
    "ClearQuestion.bmp", {"yes", "ClearYes.bmp", 70, 192}, {"no", "ClearNo.bmp", 240, 192}};

constexpr int kFirstRowTop = 275;
constexpr int kRowHeight = 26;
constexpr int kRows = 10;

}  // namespace

HallOfFameScreen::HallOfFameScreen(const char* gameName, std::string launcherDirectory, std::string gameDirectory)
    : KeyPopup("back"),
      game(gameName ? gameName : ""),
      launcherDirectory(std::move(launcherDirectory)),
      tableFile(records::InFolder(gameDirectory, records::kHighScores)),
      gameDirectory(std::move(gameDirectory)) {}
HallOfFameScreen::~HallOfFameScreen() = default;

void HallOfFameScreen::Setup() {
  PopupScreen::Setup();
  blackFont = LoadFont(records::InFolder(launcherDirectory, "HallBlackFont.bmp").c_str(), 1);
  purpleFont = LoadFont(records::InFolder(launcherDirectory, "HallPurpleFont.bmp").c_str(), 1);
  AddPopupImage(records::InFolder(launcherDirectory, "HallOfFameScreen.bmp").c_str(), nullptr);
  for (const ButtonPlace& place : kButtons) AddTableButton(*this, place, 2, launcherDirectory);
  AddDefaultButton();
  table.Resize(kEntries);
  table.Load(tableFile.c_str());
  scoresAddress = ReadServerAddresses(records::InFolder(launcherDirectory, records::kSetup).c_str()).scores;
}

namespace {

// Where the game keeps the replay of the entry, in its folder.
std::string ReplayPath(const std::string& gameDirectory, const HighScoreEntry& entry) {
  return records::InFolder(gameDirectory, ("replays\\" + quibbleton::ReplayFileName(entry.name, entry.score)).c_str());
}

// The replay the game kept of the entry, empty when there is none (or it is
// larger than any replay can be).
std::string ReadReplay(const std::string& gameDirectory, const HighScoreEntry& entry) {
  FILE* file = platform::OpenFile(ReplayPath(gameDirectory, entry).c_str(), "rb");
  if (!file) return {};
  std::string text(quibbleton::kMaxReplayBytes + 1, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  return text.size() > quibbleton::kMaxReplayBytes ? std::string() : text;
}

// The key of the profile whose player string is the entry's name, made now
// if that profile has none yet; empty when no profile is the entry's.
std::string KeyOfPlayer(const std::string& launcherDirectory, const char* entryName) {
  PlayerRegistry players;
  players.SetPath(records::InFolder(launcherDirectory, records::kOptionsFromLauncher).c_str());
  players.ReadAllPlayers();
  const int index = players.FindPlayer(entryName);
  return index < 0 ? std::string() : players.KeepKey(index);
}

}  // namespace

void HallOfFameScreen::Upload() {
  const HighScoreEntry* best = table.Entry(0);
  if (best && best->name[0] != '\0') {
    if (std::string replay = ReadReplay(gameDirectory, *best); !replay.empty())
      PostInBackground(ReplayAddress(scoresAddress.c_str(), game.c_str(), best->name, best->score), std::move(replay),
                       KeyOfPlayer(launcherDirectory, best->name));
  }
  const std::string address =
      UploadAddress(scoresAddress.c_str(), game.c_str(), best ? best->name : "", best ? best->score : 0);
  ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// The entries go from the file as it is under its lock (a game may have
// saved since the pop-up read it), then their replays, under the lock again
// and only those no entry names by then (a game may have saved the same name
// and score since). A kill between the two leaves replays without entries,
// which the game's next save removes.
void HallOfFameScreen::Clear() {
  std::vector<std::string> replays;
  const bool cleared = table.Rewrite(tableFile.c_str(), [&](HighScoreTable& asSaved) {
    for (int i = 0; i < asSaved.Count(); ++i)
      if (const HighScoreEntry* entry = asSaved.Entry(i); entry->name[0] != '\0')
        replays.push_back(ReplayPath(gameDirectory, *entry));
    asSaved.Resize(kEntries);
    return true;
  });
  // The player is told when the wipe did not reach the file; the pop-up closes either way.
  if (!cleared) {
    table.Resize(kEntries);
    MessageBoxA(mainWindow, "The high scores could not be cleared: \"hiscore.dat\" cannot be written.",
                "Plinkworks Lobbo", MB_ICONERROR);
  } else {
    HighScoreTable now;
    now.Resize(kEntries);
    now.Rewrite(tableFile.c_str(), [&](HighScoreTable& asSaved) {
      for (int i = 0; i < asSaved.Count(); ++i)
        if (const HighScoreEntry* entry = asSaved.Entry(i); entry->name[0] != '\0')
          std::erase(replays, ReplayPath(gameDirectory, *entry));
      for (const std::string& path : replays) DeleteFileA(path.c_str());
      return false;  // read only
    });
  }
  EndWith("clear");
}

int HallOfFameScreen::CheckEnd() {
  if (buttons->WasPressed("upload")) Upload();
  if (buttons->WasPressed("clear")) {
    QuestionPopup question("clear", this, kClearQuestion, launcherDirectory);
    question.Setup();
    const QuestionPopup::Answer answer = question.Ask();
    if (answer == QuestionPopup::Answer::kClosing) return 0;
    if (answer == QuestionPopup::Answer::kYes) Clear();
  }
  if (buttons->WasPressed("back")) EndWith("back");
  DrawTable(redrawManager.GetTarget());
  return 1;
}

// Names show up to their first ":"; the rest is the player's address,
// e-mail and send choice, which only the upload carries.
void HallOfFameScreen::DrawTable(IDirectDrawSurface* target) {
  for (int r = 0; r < kRows; ++r) {
    BitmapFont* font = (r % 2 == 0) ? purpleFont.get() : blackFont.get();
    const int y = kFirstRowTop + kRowHeight * r;
    const struct {
      int index, nameX, scoreX;
    } columns[] = {{r, 56, 256}, {kRows + r, originX + 334, originX + 534}};
    for (const auto& column : columns) {
      const HighScoreEntry* entry = table.Entry(column.index);
      if (!entry || entry->name[0] == '\0') continue;
      char shown[HighScoreTable::kNameSize];
      std::snprintf(shown, sizeof shown, "%.*s", static_cast<int>(std::strcspn(entry->name, ":")), entry->name);
      char score[16];
      std::snprintf(score, sizeof score, "%d", entry->score);
      font->DrawString(target, shown, column.nameX, y, 0, -1);
      font->DrawString(target, score, column.scoreX, y, 0, -1);
    }
  }
}

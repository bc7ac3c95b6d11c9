// How a game ends: the time bonus of a cleared board and its cheering guys,
// the game-over picture when time runs out, and the score's way into the
// high-score table with its hall-of-fame notice.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/game.h"
#include "game/game_screen.h"
#include "game/key_closing_popup.h"
#include "game/replay_store.h"
#include "game/rules/replay_verifier.h"
#include "screens/player_registry.h"
#include "screens/popup_screen.h"
#include "shell/app.h"
#include "gx/frame_clock.h"
#include "widgets/button.h"
#include "widgets/redraw_manager.h"
#include "records/shared_files.h"

namespace {

// Shows one picture modally at (x, y) until its deadline or, with a button,
// a click on it (or a key). 0 when the program is closing.
int ShowPicture(const char* path, int x, int y, bool withButton, int ms) {
  if (withButton) {
    KeyClosingPopup popup;
    popup.AddPopupImage(path, nullptr);
    popup.SetPosition(x, y);
    popup.AddDefaultButton();
    popup.SetDeadline(TicksAfter(ms));
    return popup.Run(nullptr, nullptr);
  }
  PopupScreen popup;
  popup.AddPopupImage(path, nullptr);
  popup.SetPosition(x, y);
  popup.SetDeadline(TicksAfter(ms));
  return popup.Run(nullptr, nullptr);
}

// Saying nothing would tell the player that what was lost was kept.
void ReportUnsaved(const char* what, const char* where, int error, const char* consequence) {
  char text[400];
  std::snprintf(text, sizeof text, "%s could not be saved in %s (%s). %s", what, where,
                error ? std::strerror(error) : "unknown error", consequence);
  MessageBoxA(mainWindow, text, "Quibbleton", MB_OK | MB_ICONERROR);
}

}  // namespace

int64_t Game::AddTimeBonus() {
  if (ButtonSet* set = screen.GetButtons()) set->DrawAll();
  const quibbleton::Events bonus = rules.TimeBonus(GetSecondsLeft());
  Show(bonus);
  return quibbleton::AnimationMs(bonus);
}

int Game::Congratulate(int buttons) {
  IDirectDrawSurface* back = redrawManager.GetBackBuffer();
  if (!congrats) {
    StopCountdown();
    redrawManager.RestoreAll();
    DrawFrame(back);
    congrats = new Sprite();
    congrats->LoadStrip("congrats.bmp", 1, 0);
    congrats->SetPosition(290, 148);
    for (int i = 0; i < GameScreen::kGuys; ++i) {
      if (Sprite* guy = GuySprite(i)) {
        guy->SetCurrentFrame(10);
        guy->SetFrameRange(10, 12);
        guy->SetPlayMode(kPlayLoop);
        guy->SetAnimating(1);
      }
    }
    congratsTime = GetTicks();
    PlaySound("cheer");
  }
  congrats->DrawTo(back);
  spriteList.DrawAll(back);
  if (buttons == 0 && TicksSince(congratsTime) <= 5000) return 1;

  delete congrats;
  congrats = nullptr;
  SetState(kIdle);
  screen.MakeGuys();
  rules.BringGuysBack();
  if (EnterHighScore(score) == 0) return 0;
  redrawManager.RestoreAll();
  if (ButtonSet* set = screen.GetButtons()) set->DrawAll();
  ShowSummary();
  return 1;
}

int Game::GameOver() {
  StopCountdown();
  DrawFrame(redrawManager.GetBackBuffer());
  redrawManager.QueueAll();
  // A round the player ended for want of moves needs no "time's up".
  if (!endedStuck) {
    PlaySound("thunder");
    if (ShowPicture("GameOverOOT.bmp", 290, 148, true, 2000) == 0) return kQuit;
  }
  if (EnterHighScore(score) == 0) return kQuit;
  redrawManager.RestoreAll();
  SetState(kIdle);
  dirty = 1;
  ShowSummary();
  return kFrameDrawn;
}

void Game::ShowSummary() {
  // A watched game's score is its player's: the viewer gets no summary of it.
  if (playback.Watching()) return;
  const HighScoreEntry* best = highScores.Entry(0);
  summary = EndSummary{true, score, lastPlace, best ? best->score : 0};
  // A button still held from the picture before must come up before a press counts.
  summaryButtons = 3;
}

void Game::TakeSummaryClicks(int buttons) {
  const bool newPress = (buttons & 3) != 0 && (summaryButtons & 3) == 0;
  summaryButtons = buttons;
  if (newPress) summary.shown = false;
}

int Game::EnterHighScore(int value) {
  if (!InsertScore(value)) return 1;
  return ShowHallOfFame();
}

void Game::EnterEndedGameScore() {
  if (endedScorePending) InsertScore(score);
}

bool Game::InsertScore(int value) {
  endedScorePending = false;
  lastPlace = 0;
  // A watched game's score is its own player's, not this one's.
  if (playback.Watching()) return false;
  playerRegistry.SetPath(records::kOptionsFromGame);
  // One read of the file: the number and the record of one moment.
  const int index = playerRegistry.ReadCurrentPlayer();
  SetWindowTitle(playerRegistry.Player(index).name);
  const std::string entry = playerRegistry.PlayerString(index);
  // Merged with the file as it is now: another game may have saved since
  // this one read it. Scores that could not be saved before go in again.
  const std::string replay = recorder.Take();
  PostRankedGame(index, value, replay);
  unsavedScores.push_back({entry, value});
  const replay_store::ScoreSave saved = replay_store::SaveScores(highScores, records::kHighScores, unsavedScores, replay);
  const HighScoreTable::MergeResult& merged = saved.merged;
  if (merged.saved || !merged.anyInserted) unsavedScores.clear();
  if (!merged.anyInserted) return false;
  scoresUnsaved = !merged.saved;
  // The score's place in the table as it now stands (the first of equal entries).
  const std::string stored = HighScoreTable::StoredName(entry);
  for (int i = 0; merged.lastInserted && i < highScores.Count(); ++i)
    if (const HighScoreEntry* e = highScores.Entry(i); e->score == value && stored == e->name) {
      lastPlace = i + 1;
      break;
    }
  if (scoresUnsaved)
    ReportUnsaved("Your score", "hiscore.dat", saved.tableError,
                  "It stays in the hall of fame until the game is closed.");
  else if (saved.replayError)
    ReportUnsaved("The replay of your score", "the replays folder", saved.replayError,
                  "The score is in the hall of fame without it.");
  return merged.lastInserted;
}

int Game::ShowHallOfFame() {
  screen.Flip();
  dirty = 1;
  DrawFrame(redrawManager.GetBackBuffer());
  return ShowPicture("hallfamepop.bmp", 362, 189, false, 1000) == 0 ? 0 : 1;
}

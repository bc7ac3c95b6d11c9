// Watching a replay: what to do when (ReplayPlayback), and the game's side
// of it, the few steps through which a replay reaches the real game.
#include "game/replay_playback.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "game/game.h"
#include "game/game_screen.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "gx/gx_font.h"
#include "gx/key_queue.h"
#include "gx/main_window.h"
#include "gx/mouse_cursor.h"
#include "gx/random.h"
#include "shell/app.h"
#include "widgets/redraw_manager.h"

// --- ReplayPlayback --------------------------------------------------------------

std::string ReplayPlayback::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string("cannot be read (") + std::strerror(errno) + ")";
  // One byte past the longest replay is enough for the parser to refuse it.
  std::string text(quibbleton::kMaxReplayBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return "cannot be read";
  text.resize(static_cast<size_t>(in.gcount()));
  const quibbleton::ReplayParse parsed = quibbleton::ParseReplay(text);
  if (!parsed.ok) return "not a replay: " + parsed.error;
  Watch(parsed.replay);
  return {};
}

void ReplayPlayback::Watch(const quibbleton::Replay& played) {
  replay = played;
  phase = Phase::kReady;
  next = 0;
  paused = fast = false;
  previousButtons = 0;
  ApplyRate();
}

bool ReplayPlayback::LetNewGame(bool replayGameRunning) {
  if (phase == Phase::kReady) {
    phase = Phase::kRunning;
  } else if (phase == Phase::kRunning) {
    if (replayGameRunning) return false;
    // The viewer plays now, at the game's own pace.
    phase = Phase::kOff;
    ApplyRate();
  }
  return true;
}

const quibbleton::Action* ReplayPlayback::Due(int64_t ms) {
  if (phase != Phase::kRunning || next == replay.actions.size() || replay.actions[next].ms > ms) return nullptr;
  return &replay.actions[next++].action;
}

bool ReplayPlayback::LeftAt(int64_t ms) const {
  return phase == Phase::kRunning && replay.end != quibbleton::ReplayEnd::kFinished &&
         next == replay.actions.size() && ms >= replay.endMs;
}

void ReplayPlayback::Key(char c) {
  if (c == 'p' || c == 'P' || c == ' ') {
    TogglePause();
  } else if (c == 'f' || c == 'F') {
    fast = !fast;
    ApplyRate();
  }
}

void ReplayPlayback::Pointer(bool onBoard, int buttons) {
  // A press, not a button held from before (nor one whose press was the
  // previous frame's).
  if (onBoard && (buttons & ~previousButtons) != 0) TogglePause();
  previousButtons = buttons;
}

void ReplayPlayback::TogglePause() {
  paused = !paused;
  ApplyRate();
}

int ReplayPlayback::Rate() const {
  if (phase == Phase::kOff) return 1;
  return paused ? 0 : fast ? 2 : 1;
}

std::string ReplayPlayback::StatusLine() const {
  std::string line = "Watching a replay.  P, Space or a click on the board: pause and resume.  F: double speed.  ";
  line += paused ? "[paused]" : fast ? "[speed x2]" : "[speed x1]";
  return line;
}

void ReplayPlayback::ApplyRate() const { SetClockRate(Rate()); }

// --- The game's side -------------------------------------------------------------

namespace {

// The strip under the board, where the game's own help line is: the status
// goes there on a band of its own, a blank line of the font above and below.
constexpr int kStatusLeft = 98;
constexpr int kStatusTop = 563;
constexpr int kStatusColumns = (800 - kStatusLeft) / kPixelFontCellWidth;

}  // namespace

BoardCursor::Action Game::WatchControls(int x, int y, int buttons) {
  // The first frame starts the replay's game as the player's New game would.
  if (playback.Ready()) return BoardCursor::Action::kNewGame;
  // Once it is over, the keys are the viewer's own again.
  if (state != kPlaying) return TakeKeys();
  TakeWatchInput(x, y, buttons);
  return BoardCursor::Action::kNone;
}

void Game::WatchDuringAnimation() {
  if (state != kPlaying || playback.Ready()) return;
  // Nothing else takes the window's messages during an animation, and the
  // pointer's place comes with them. A close is left for the frame loop.
  PumpMessagesBeforeClose();
  int x = 0, y = 0, buttons = 0;
  mouseCursor.GetState(&x, &y, &buttons);
  TakeWatchInput(x, y, buttons);
}

void Game::TakeWatchInput(int x, int y, int buttons) {
  for (;;) {
    while (const int event = keyQueue.Pop()) playback.Key(KeyQueue::ToChar(event));
    playback.Pointer(CellAt(x, y) >= 0, buttons);
    if (!playback.Paused()) return;
    // Paused: the clock adds no time, so the game stands still, while the
    // frames go on (each waits for the next 10 ms) to hear the controls.
    // Closing ends the pause, and the game then ends as it would have.
    DrawFrame(redrawManager.GetBackBuffer());
    screen.Flip();
    if (PumpMessagesBeforeClose() || CloseRequested()) {
      playback.TogglePause();
      return;
    }
    mouseCursor.GetState(&x, &y, &buttons);
  }
}

void Game::DealReplay() {
  const quibbleton::Replay& replay = playback.Played();
  // The replay's deal and settings, whatever New game dealt and read.
  lcg::srand(replay.seed);
  FillBoard();
  rules.SetMinimumGroup(replay.balloons);
  SetGameTime(replay.gameTime);
  SetSecondsLeft(gameTime);
  // The game keeps to the watched game's timeline, as when it was played (an
  // action while its last points still rise after the countdown); what it
  // records is never kept (InsertScore), nor is it played on a server's deal.
  recorder.Start(replay.seed, replay.balloons, replay.gameTime);
  dealId.clear();
  SetWindowTitle("watching a replay (P or Space: pause, F: double speed)");
}

void Game::PlayBack() {
  const int64_t now = ReplayTime();
  if (const quibbleton::Action* action = playback.Due(now)) {
    Perform(*action);
  } else if (playback.LeftAt(now)) {
    // Where its player started another game or ended it for want of
    // moves, the watched one stops.
    StopCountdown();
    SetState(kIdle);
  }
}

void Game::Perform(const quibbleton::Action& action) {
  using Kind = quibbleton::Action::Kind;
  if (action.kind == Kind::kOrder) {
    // As GuyOrders takes a click on the guy.
    SetBusyCursor(1);
    Order(action.target, true);
    SetBusyCursor(0);
  } else {
    ClickCell(action.target, action.kind == Kind::kClickFace ? 1 : 0);
  }
  dirty = 1;
}

void Game::DrawWatchStatus() {
  const std::string blank(kStatusColumns, ' ');
  // Appended, not "literal" + string: GCC 12 takes that for an overlapping copy (-Wrestrict).
  std::string line(1, ' ');
  line += playback.StatusLine();
  line.resize(kStatusColumns, ' ');
  GXPrintString(blank.c_str(), kStatusLeft, kStatusTop);
  GXPrintString(blank.c_str(), kStatusLeft, kStatusTop + kPixelFontCellHeight);
  GXPrintString(line.c_str(), kStatusLeft, kStatusTop + 2 * kPixelFontCellHeight);
  GXPrintString(blank.c_str(), kStatusLeft, kStatusTop + 3 * kPixelFontCellHeight);
}

// The game object: a new game, the frame update with its buttons and states,
// the blocking wait every animation runs on, and the frame drawing.
#include "game/game.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "game/game_screen.h"
#include "game/key_closing_popup.h"
#include "game/palette.h"
#include "platform/device/clock.h"
#include "platform/device/config.h"
#include "platform/win/profile.h"
#include "platform/win/shell_exec.h"
#include "platform/win/window.h"
#include "gx/key_queue.h"
#include "gx/mouse_cursor.h"
#include "screens/player_registry.h"
#include "screens/popup_screen.h"
#include "shell/app.h"
#include "gx/frame_clock.h"
#include "gx/gx.h"
#include "widgets/button.h"
#include "widgets/focus_ring.h"
#include "widgets/redraw_manager.h"
#include "sound/sound_registry.h"
#include "gx/surface.h"
#include "records/shared_files.h"

namespace {

// A key of section "default" in ".\setup.ini": its leading digits, 0 when it
// has none, the default when it is missing. Digits beyond the range of int
// read as its nearest end (atoi would be undefined there).
int ReadDefaultInt(const char* key, const char* fallback) {
  char value[256] = "";
  GetPrivateProfileStringA(records::kDefaultSection, key, fallback, value, sizeof value, records::kSetup);
  const long long n = std::strtoll(value, nullptr, 10);
  return static_cast<int>(n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : n);
}

// A longer round would keep the time bonus counting for years (a tenth of a
// second per remaining second) with the window unable to do anything else.
constexpr int kLongestGame = 86400;

// An update that took this long ran an animation or showed a picture (a
// plain frame takes no time on the virtual clock and well under a tick on
// the real one; the shortest wait is 50 ms).
constexpr int kBlockingMs = 30;

int ReadGameTime() {
  const int seconds = ReadDefaultInt("gametime", "300");
  if (seconds <= kLongestGame) return seconds;
  std::fprintf(stderr, "%s: gametime=%d in setup.ini is longer than a day; a game lasts %d seconds\n",
               platform::ProgramName().c_str(), seconds, kLongestGame);
  return kLongestGame;
}

// The guy the cursor is on: the left-hand guys are 0..9, the right-hand ones 10..19.
int GuyUnder(const BoardCursor& cursor) { return cursor.Row() + (cursor.Column() < 0 ? 0 : quibbleton::kRows); }

}  // namespace

Game::~Game() { Cleanup(); }

void Game::PlaySound(const char* name) {
  // A closing game rushes through its animations: their sounds would all
  // come at once.
  if (CloseRequested()) return;
  if (soundListener) soundListener(name);
  soundRegistry.Play(name, 0xFFFF, 0);
}

void Game::Cleanup() {
  if (!scoresUnsaved) highScores.Free();
  for (Block*& block : board) {
    delete block;
    block = nullptr;
  }
  // Pop-ups share the tiles' surfaces, so they go before the tiles.
  for (ScorePopup* popup : popups) delete popup;
  popups.clear();
  for (auto* tiles : {&scoreTiles, &otherScoreTiles}) {
    for (IDirectDrawSurface* tile : *tiles)
      if (tile) tile->Release();
    tiles->clear();
  }
  delete timerDots;
  timerDots = nullptr;
  // A game left during its congratulations takes their picture with it, so
  // the next cleared board cheers again and nothing outlives the program.
  delete congrats;
  congrats = nullptr;
}

void Game::NewGame() {
  Cleanup();
  PlaySound("reveal");
  if (board.empty()) board.assign(150, nullptr);
  if (scoreTiles.empty()) LoadAndSplit(ScoringFile(screen.CurrentPalette()), scoreTiles, 40, 17);
  FillBoard();
  rules.SetMinimumGroup(ReadDefaultInt("balloons", "2"));
  SetGameTime(ReadGameTime());
  StopCountdown();
  ResetCountdownClock();
  SetSecondsLeft(gameTime);
  SetScore(0);
  SetState(kIdle);
  endedScorePending = false;

  playerRegistry.SetPath(records::kOptionsFromGame);
  const int index = playerRegistry.ReadCurrentPlayer();
  SetWindowTitle(playerRegistry.Player(index).name);

  if (!scoresUnsaved) {
    highScores.Resize(20);
    highScores.Load(records::kHighScores);
  }
  dirty = 1;
  groupPoints = 0;
  screen.MakeGuys();
  cursor.Home();
  timerDots = new TimerDots(TimerDotsFile(screen.CurrentPalette()), 5, 10, 15, 0, 0);
  paused = pausePending = false;
  endedStuck = false;
  summary.shown = false;
  BoardChanged();
}

int Game::Update() {
  // Keys pressed while an animation or a picture held the game are dropped,
  // as a click then is: the player acts on what the screen shows.
  struct DropKeysAfterBlocking {
    int start = GetTicks();
    ~DropKeysAfterBlocking() {
      if (TicksSince(start) < kBlockingMs) return;
      keyQueue.Flush();
    }
  } dropKeys;
  // A pause asked for by the window while this frame runs an animation or
  // shows a picture comes when the frame ends, so the animation keeps its time.
  struct Updating {
    Game& game;
    explicit Updating(Game& g) : game(g) { game.updating = true; }
    ~Updating() {
      game.updating = false;
      if (game.pausePending) {
        game.pausePending = false;
        game.Pause();
      }
    }
  } updatingNow{*this};
  PollServerDeals();

  int x = 0, y = 0, buttons = 0;
  mouseCursor.GetState(&x, &y, &buttons);
  cursor.NoteMouse(x, y);
  if (summary.shown) TakeSummaryClicks(buttons);
  BoardCursor::Action key = BoardCursor::Action::kNone;
  if (paused)
    UpdatePaused(x, y, buttons);
  else
    key = playback.Watching() ? WatchControls(x, y, buttons) : TakeKeys();
  if (key == BoardCursor::Action::kPause) Pause();
  if (key == BoardCursor::Action::kPalette) SwitchPalette();
  ButtonSet* set = screen.GetButtons();
  int keyButtons = 0;
  if (set) {
    set->UpdateAll(x, y, buttons);
    keyButtons = PressForKey(set, key);
    set->DrawAll();
    if (set->WasPressed("newgame") && playback.LetNewGame(state == kPlaying)) {
      // Only a game being played has a score to offer. The board dealt when
      // the screen opened still has all its seconds, but nobody played it:
      // its 0 is offered only to retry scores an earlier save lost, else the
      // new game would read and lock the files for nothing.
      const int64_t now = ReplayTime();
      const bool scoreToOffer = GetSecondsLeft() > 0 && (state != kIdle || !unsavedScores.empty()) &&
                                recorder.TakesNewGameAt(now);
      if (scoreToOffer) recorder.End(now, quibbleton::ReplayEnd::kNewGame);
      if (scoreToOffer && EnterHighScore(score) == 0) return kFrameCut;
      NewGame();
      // A watched game is dealt from its replay (DealReplay): it takes no server's deal.
      if (!playback.Watching()) PlayServerDeal();
      SetState(kPlaying);
      StartCountdown();
      recorder.Start(dealSeed, rules.MinimumGroup(), gameTime);
      recorder.NameDeal(dealId);
      if (playback.Watching()) DealReplay();
    }
    if (set->WasPressed("help") && HelpPopup() == 0) return kQuit;
    if (set->WasPressed("exit")) return kQuit;
    if (set->WasPressed("menu") && commandLine[0] != '\0' && StartLauncher()) return kQuit;
  }

  switch (state) {
    case kIdle:
      NewGameBlink();
      break;
    case kPlaying:
      if (paused) break;
      // The countdown is looked at before the frame's input and again after
      // it: a click in the frame the countdown ran out is not taken.
      if (!RunOut() && playback.Watching()) {
        PlayBack();
      } else if (!RunOut()) {
        // A board with no move left ends when the player asks (a click on
        // the notice, which is then no click on the board under it).
        if (!movesLeft && StuckRoundEndAsked(x, y, buttons, key) && EndStuckRound()) break;
        // One action a frame, as the keys already are: a click, else the
        // cursor's click, else a guy's order.
        const bool acted = BoardClicks(x, y, buttons) ||
                           (keyButtons != 0 && !cursor.OnGuy() &&
                            ClickCell(cursor.Row() * columns + cursor.Column(), (keyButtons & 1) ? 0 : 1));
        if (!acted) GuyOrders();
      }
      if (BlockCount() == 0) {
        StopCountdown();
        const int64_t clearedAt = recorder.ReadyAt();
        // The bonus counts the seconds left when the last animation ended
        // on time, as the replay's timing has it, even if a slow frame made
        // it end a little later.
        if (recorder.Recording()) SetSecondsLeft(static_cast<int>(quibbleton::SecondsLeftAt(gameTime, clearedAt)));
        recorder.End(clearedAt + AddTimeBonus());
        SetState(kCleared);
        Show(rules.DoubleScore());
        endedScorePending = true;
      } else if (RunOut()) {
        SetState(kOutOfTime);
        recorder.End(ReplayTime());
        endedScorePending = true;
      }
      break;
    case kCleared:
      if (Congratulate(buttons | keyButtons) == 0) return kQuit;
      break;
    case kOutOfTime:
      if (GameOver() == kQuit) return kQuit;
      break;
    default:
      break;
  }
  UpdatePreview(x, y);
  DrawFrame(redrawManager.GetBackBuffer());
  return kFrameDrawn;
}

int Game::HelpPopup() {
  StopCountdown();
  KeyClosingPopup popup;
  popup.AddPopupImage(GetSystemMetrics(SM_MAXIMUMTOUCHES) > 0 ? "title\\HowToPlayTouch.bmp" : "title\\HowToPlay.bmp",
                      nullptr);
  popup.AddDefaultButton();
  // No picture has this name, so the first one is shown, centred.
  if (popup.Run(nullptr, "rules") == 0) return 0;
  const ScreenImage* shown = popup.GetCurrentImage();
  redrawManager.RestoreRect(popup.GetLeft(), popup.GetTop(), shown ? shown->width : 0, shown ? shown->height : 0);
  dirty = 1;
  DrawFrame(redrawManager.GetBackBuffer());
  // A paused game stays paused behind the help.
  if (!paused) StartCountdown();
  return 1;
}

int Game::StartLauncher() {
  char file[600];
  std::snprintf(file, sizeof file, "%s\\Lobbo.exe", commandLine);
  const HINSTANCE started = ShellExecuteA(mainWindow, "open", file, "Quibbleton", commandLine, 1);
  if (reinterpret_cast<intptr_t>(started) > 32) return 1;
  // Closing now would leave the player with no window at all: say so and play on.
  MessageBoxA(mainWindow, "Could not start Lobbo.", "Quibbleton", MB_ICONERROR);
  return 0;
}

// The "new game" button blinks while no game runs, a phase each kBlinkMs.
constexpr int kBlinkMs = 500;

void Game::NewGameBlink() {
  ButtonSet* set = screen.GetButtons();
  Button* button = set ? set->Find("newgame") : nullptr;
  if (!button) return;
  if (button->IsMouseOver()) {
    button->SetImageBase(0);
  } else if (TicksSince(blinkTime) > kBlinkMs) {
    blinkPhase = 1 - blinkPhase;
    button->SetImageBase(blinkPhase);
    button->Draw(nullptr);
    blinkTime = GetTicks();
  }
  // Till its next blink the still board shows nothing new by itself (a page may sleep meanwhile).
  if (!button->IsMouseOver() && ClockRate() > 0)
    platform::NothingDueForMs(static_cast<uint32_t>(std::max(0, kBlinkMs + 1 - TicksSince(blinkTime)) / ClockRate()));
}

bool Game::BoardClicks(int x, int y, int buttons) {
  if (buttons == previousButtons) return false;
  previousButtons = buttons;
  // A press of either button; the left one wins when both are down.
  if (!(buttons & 1 || buttons & 2)) return false;
  dirty = 1;
  const int cell = CellAt(x, y);
  return cell >= 0 && ClickCell(cell, (buttons & 1) ? 0 : 1);
}

bool Game::ClickCell(int cell, int byFace) {
  dirty = 1;
  const int64_t at = ReplayTime();
  // Between two of the game's frames the input of a frame the timeline
  // does not take (only a slow machine's timer makes one) is dropped. A
  // watched action comes when its replay says, or a frame late at double
  // speed: it is taken then, as its game took it.
  if (!playback.Watching() && !recorder.TakesActionAt(at)) return false;
  SetBusyCursor(1);
  using Kind = quibbleton::Action::Kind;
  const quibbleton::Action action{byFace ? Kind::kClickFace : Kind::kClickColour, cell};
  const quibbleton::Events events = rules.Apply(action);
  recorder.Note(action, events, at);
  Show(events);
  BoardChanged();
  SetBusyCursor(0);
  return !events.empty();
}

bool Game::RunOut() const {
  // "<= 0": a zero or negative game time ends the game at once.
  return recorder.RunOutAt(ReplayTime(), GetSecondsLeft() <= 0);
}

BoardCursor::Action Game::TakeKeys() {
  while (int event = keyQueue.Pop()) {
    // Any key closes the summary, and does what it does besides.
    summary.shown = false;
    if (DailyDealKey(event)) continue;
    const BoardCursor::Action action = cursor.HandleKey(event);
    if (action != BoardCursor::Action::kNone) {
      // One action a frame, as one click: the keys after it are dropped.
      keyQueue.Flush();
      return action;
    }
  }
  return BoardCursor::Action::kNone;
}

int Game::PressForKey(ButtonSet* set, BoardCursor::Action action) {
  using Action = BoardCursor::Action;
  switch (action) {
    case Action::kNewGame: FocusRing::Press(set, "newgame"); return 0;
    case Action::kHelp: FocusRing::Press(set, "help"); return 0;
    case Action::kMenu: FocusRing::Press(set, "menu"); return 0;
    case Action::kLeftClick:
    case Action::kRightClick: break;
    default: return 0;
  }
  const int bits = action == Action::kLeftClick ? 1 : 2;
  // A guy's hot spot takes left clicks only.
  if (cursor.OnGuy() && bits == 1) FocusRing::Press(screen.GuyHotSpot(GuyUnder(cursor)));
  return bits;
}

RECT Game::CursorRect() const {
  if (cursor.OnGuy()) {
    if (const Button* b = screen.GuyHotSpot(GuyUnder(cursor)))
      return RECT{b->x + b->offsetX, b->y + b->offsetY, b->x + b->offsetX + b->width, b->y + b->offsetY + b->height};
  }
  const int left = originX + cursor.Column() * cellWidth, top = originY + cursor.Row() * cellHeight;
  return RECT{left, top, left + cellWidth, top + cellHeight};
}

void Game::GuyOrders() {
  ButtonSet* set = screen.GetButtons();
  if (!set) return;
  // The left-hand guys' buttons first, each row from the top; the first
  // order heard is the frame's action.
  for (int guy = 0; guy < quibbleton::kGuys; ++guy) {
    if (set->WasPressed(screen.GuyHotSpot(guy))) {
      SetBusyCursor(1);
      const bool acted = Order(guy, true);
      SetBusyCursor(0);
      if (acted) return;
    }
  }
}

std::string Game::Describe() {
  static const char* const kStates[] = {"idle", "playing", "cleared", "outoftime"};
  const int s = GetState();
  const char* name = s == kIdle ? kStates[0] : s == kPlaying ? kStates[1] : s == kCleared ? kStates[2]
                   : s == kOutOfTime ? kStates[3] : "other";
  std::string text = "screen game\nstate " + std::string(name) + "\nscore " + std::to_string(score) +
                     "\nbest " + std::to_string(highScores.Count() ? highScores.TopScore() : 0) +
                     "\nseconds " + std::to_string(GetSecondsLeft()) + "\nmultiplier " +
                     std::to_string(multiplier) + "\n";
  // A cell is its colour digit and face letter, ".." when empty.
  text += "board\n";
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const Block* b = At(row * columns + column);
      text += column ? " " : "";
      text += b ? std::string{static_cast<char>('0' + b->colour), static_cast<char>('a' + b->face)} : "..";
    }
    text += "\n";
  }
  text += "guys";
  for (int i = 0; i < GameScreen::kGuys; ++i)
    if (GuySprite(i)) text.append(" ").append(std::to_string(i));
  text += "\nbuttons";
  if (ButtonSet* set = screen.GetButtons())
    for (int i = 0; i < set->Count(); ++i) text += std::string(" ") + set->At(i)->name;
  return text + "\n" + cursor.Describe();
}

std::string Game::DescribeAids() {
  std::string text;
  text.append("paused ").append(paused ? "yes" : "no");
  text.append("\nmoves ").append(NoMovesLeft() ? "none" : "some");
  text.append("\npreview ").append(std::to_string(preview.points));
  for (int cell : preview.cells) text.append(" ").append(std::to_string(cell));
  text.append("\npalette ").append(PaletteName(screen.CurrentPalette()));
  text.append("\nsummary ");
  if (summary.shown)
    text.append(std::to_string(summary.score)).append(" ").append(std::to_string(summary.place)).append(" ")
        .append(std::to_string(summary.best));
  else
    text.append("none");
  return text + "\n";
}

int64_t Game::ReplayTime() const { return CountdownMs(); }

void Game::AddScore(int points) { SetScore(quibbleton::AddPoints(score, points)); }

void Game::Wait(int64_t ms) {
  // Most events of the table take no time: nothing to draw for them.
  if (ms <= 0) return;
  dirty = 1;
  const int start = GetTicks();
  // Closing must not wait for the animation: the rest of it runs at once,
  // so the game still ends exactly as it would have.
  while (TicksSince(start) < ms && !CloseRequested()) {
    DrawFrame(redrawManager.GetBackBuffer());
    FramePace(100);
    // No click is taken while the board animates: each step forgets the
    // presses of the step before, so only a button still held, or pressed
    // in the animation's last step, reaches the frame after it.
    if (playback.Watching()) WatchDuringAnimation();
    mouseCursor.DropPresses();
    frameRate = GXGetFPS();
    screen.Flip();
  }
}

void Game::DrawFrame(IDirectDrawSurface* surface) {
  if (dirty && paused)
    DrawPausedCover(surface);
  else if (dirty)
    DrawBoard();
  spriteList.DrawAll(surface);
  DrawHud();
  if (timerDots) {
    timerDots->fraction = gameTime > 0 ? static_cast<float>(GetSecondsLeft()) / static_cast<float>(gameTime) : 0.0f;
    timerDots->Draw(surface, 4, 202);
  }
  // Under the cover nothing of the board shows, not even its rising points.
  if (paused) return;
  UpdatePopups(surface);
  DrawPreview(surface);
  if (NoMovesLeft()) DrawNoMoves(surface);
  if (summary.shown) DrawSummary(surface);
  if (cursor.Shown()) DrawFocusFrame(CursorRect());
  if (playback.Watching()) DrawWatchStatus();
}

// The one game of Quibbleton on screen: the board of heads, the score and
// the countdown, the guys' orders, the HUD and the end of a game. What a
// click or an order does is decided by the rules (game/rules/); the game
// shows their events. The game screen calls Update once per frame; every
// animation inside it (cracking heads, pushes, the time bonus) is a blocking
// Wait on the frame clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/board_cursor.h"
#include "game/deal_source.h"
#include "game/replay_playback.h"
#include "game/replay_recorder.h"
#include "game/rules/rules.h"
#include "platform/win/ddraw.h"
class ButtonSet;
class GameScreen;

#include "game/game_base.h"
#include "records/high_score_table.h"
#include "widgets/sprite.h"

// One head on the board. Its single frame is shared from the heads sheet.
class Block : public Sprite {
 public:
  // Not drawn by the board until FillBoard places it.
  Block() { visible = 0; }

  int32_t colour = 0;  // 0..4
  int32_t face = 0;    // 0..4
  int32_t cell = 0;
};

// A short-lived picture rising from a removed head: its points or the
// group's multiplier.
class ScorePopup : public Sprite {
 public:
  ScorePopup() = default;
  // A pop-up made for one group (its multiplied sum) owns its picture.
  explicit ScorePopup(IDirectDrawSurface* ownImage) : ownImage(ownImage) {}
  ~ScorePopup() override {
    if (ownImage) ownImage->Release();
  }
  ScorePopup(const ScorePopup&) = delete;
  ScorePopup& operator=(const ScorePopup&) = delete;
  void Move() override;
  int32_t expiry = 0;  // tick after which it is gone
  int32_t points = 0;  // what it says the score gained (0 for a multiplier)

 private:
  IDirectDrawSurface* ownImage = nullptr;
};

// The remaining time as a grid of dots that empties from the bottom right.
class TimerDots {
 public:
  TimerDots(const char* path, int images, int columns, int rows, int gapX, int gapY);
  TimerDots(const TimerDots&) = delete;
  TimerDots& operator=(const TimerDots&) = delete;

  // Dots the grid shows for the current fraction.
  int Count() const;
  void Draw(IDirectDrawSurface* surface, int x, int y);

  int32_t columns, rows;
  int32_t gapX, gapY;
  float fraction = 1.0f;
  Sprite dot;
};

class Game : public GameBase {
 public:
  // The values of the GameBase state; the numbers are the ones the game
  // has always stored there.
  enum State : int32_t {
    kIdle = 0,
    kPlaying = 1,
    kCleared = 13,    // the board was emptied: congratulations
    kOutOfTime = 14,  // the countdown ran out: the game-over picture
  };
  // What Update tells the screen about the frame.
  enum FrameResult : int32_t {
    kFrameCut = 0,    // ended early: the window closed while a picture showed
    kFrameDrawn = 5,  // drawn; present it
    kQuit = 7,        // the program ends (Exit, Menu, or closed during a picture)
  };

  // The game on its screen; neither uses the other before both exist.
  explicit Game(GameScreen& screen) : screen(screen) {}
  ~Game() override;
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  void NewGame() override;
  void Cleanup() override;
  int Update() override;

  // Draws and flips for ms on the frame clock; the clicks of that time are
  // dropped, the keys too (at the end of the frame that waited).
  void Wait(int64_t ms);
  void DrawFrame(IDirectDrawSurface* surface);
  // score += points, stopping at the ends of int: a score never wraps negative.
  void AddScore(int points);

  // Board (geometry, groups, falling): the rules act, the board shows it.
  void FillBoard();
  int CellAt(int x, int y) const;
  void FindGroup(int cell, int byFace, std::vector<Block*>& group);
  void RemoveGroup(int cell, int byFace);
  void Settle();
  void DrawBoard();
  // Game time: the countdown's clock (see ReplayRecorder).
  int64_t ReplayTime() const;
  // The block at cell, or null for an empty cell or any index off the board.
  Block* At(int cell) const;
  int BlockCount() const;
  void CellPosition(int cell, float* x, float* y) const;

  // Guys: the one at the row's left end pushes right, the other left.
  void PushRight(int row);
  void PushLeft(int row);
  // The rules' events shown as the player sees and hears them, with their waits.
  void Show(const quibbleton::Events& events);

  // Score display and pop-ups.
  void DrawHud();
  void AddPointsPopup(const Block& block, int index);
  void AddMultiplierPopup(const Block& block);
  // The group's sum times its multiplier, "+N", rising from (x, y) as the
  // group is scored: the heads' pop-ups and it add up to what the score
  // gained. It goes with the last head's pop-up (expiry), so it holds no
  // game's end back longer than the heads' points do.
  void AddGroupPopup(float x, float y, int points, int expiry);
  void UpdatePopups(IDirectDrawSurface* surface);

  // Pausing (game/pause.cpp): P, the Pause key or the window losing its
  // focus stop the countdown and cover the board until the player comes
  // back, so a pause gives no time to think. The replay notes each pause.
  void Pause();
  // From the window's messages: at once between frames; a frame running an
  // animation pauses when it ends, so the animation keeps its game time.
  void RequestPause();
  bool Paused() const { return paused; }

  // The group a click on the head under the pointer (or the keyboard frame)
  // would take, outlined, and what it would add, in the sidebar: the colour
  // group, or the face group while Shift is held. No cells when none.
  const std::vector<int>& PreviewCells() const { return preview.cells; }
  int PreviewPoints() const { return preview.points; }

  // A board where no click and no guy can change anything: the game says so
  // and the player may end the round at once (Enter, E or a click on the
  // notice), which scores as the countdown running out would.
  bool NoMovesLeft() const;

  // The end-of-game summary, shown from a game's end until the next click or
  // key: the score, its place in the hall of fame (0: not listed) and the best.
  struct EndSummary {
    bool shown = false;
    int score = 0;
    int place = 0;
    int best = 0;
  };
  const EndSummary& Summary() const { return summary; }

  // The other set of head colours (C): the heads, their crumbles, the points
  // and the timer dots change at once, and options.ini keeps the choice.
  void SwitchPalette();

  // End of game.
  // The cleared board's bonus for every second left, counting the countdown down.
  // Returns how long it counted, in ms.
  int64_t AddTimeBonus();
  int Congratulate(int buttons);
  int GameOver();
  int EnterHighScore(int value);
  int ShowHallOfFame();
  // On the way out: a game that has ended but whose score was not entered
  // yet (closed during its time bonus, congratulations or game-over picture)
  // enters it now, without the hall-of-fame notice.
  void EnterEndedGameScore();

  // The state as text for scripted runs ("dump PATH"): state, score, best,
  // countdown, multiplier, the board by colour and face, the guys still
  // standing, the buttons and the board cursor.
  std::string Describe();
  // What the player's aids show, for scripted runs ("details PATH"), kept
  // out of the state so its lines stay as they always were: whether the game
  // is paused, whether a move is left, the pointer's group (its points, then
  // its cells), the palette and the end-of-game summary (score, place, best).
  std::string DescribeAids();

  // Plays a registered sound; "thunder" has no entry and stays silent.
  void PlaySound(const char* name);

  // Read access for the screen, tests and benchmarks.
  int MinimumGroup() const { return rules.MinimumGroup(); }
  int Multiplier() const { return multiplier; }
  int GroupPoints() const { return groupPoints; }
  int PopupCount() const { return static_cast<int>(popups.size()); }
  const std::vector<ScorePopup*>& Popups() const { return popups; }
  int CellWidth() const { return cellWidth; }
  int CellHeight() const { return cellHeight; }
  int Columns() const { return columns; }
  int Rows() const { return rows; }
  TimerDots* Dots() const { return timerDots; }
  HighScoreTable& HighScores() { return highScores; }
  Sprite* CongratsSprite() const { return congrats; }
  int TileCount() const { return static_cast<int>(scoreTiles.size()); }
  const std::vector<IDirectDrawSurface*>& ScoreTiles() const { return scoreTiles; }
  void SetDirty(int flag) { dirty = flag; }
  void SetMinimumGroup(int n) { rules.SetMinimumGroup(n); }
  // Puts a block of that colour and face on cell (replacing what was there)
  // or, with colour -1, empties it: tests build exact boards with it.
  void PlaceBlock(int cell, int colour, int face);

  // Watching a replay (QB_REPLAY) instead of playing one's own game.
  ReplayPlayback& Playback() { return playback; }

  // Every sound name the game plays, in order (diagnostics and tests).
  void (*soundListener)(const char* name) = nullptr;

 private:
  // A paused frame: a key, or a click on the cover, comes back.
  void UpdatePaused(int x, int y, int buttons);
  void Resume(int buttons);
  void DrawPausedCover(IDirectDrawSurface* surface);
  // The rules acted: the preview and the moves left are worked out again.
  void BoardChanged();
  void UpdatePreview(int x, int y);
  void DrawPreview(IDirectDrawSurface* surface);
  // Ends a round with no move left (state OutOfTime, without the time's-up
  // picture); false when the timeline does not take it now.
  bool EndStuckRound();
  // Enter or E, or a new press on the notice, while no move is left.
  bool StuckRoundEndAsked(int x, int y, int buttons, BoardCursor::Action key);
  void DrawNoMoves(IDirectDrawSurface* surface);
  // After a game's end has entered its score: the summary, until a click or key.
  void ShowSummary();
  // A new press closes the summary (a key closes it where keys are taken).
  void TakeSummaryClicks(int buttons);
  void DrawSummary(IDirectDrawSurface* surface);
  int HelpPopup();
  // 1 when the launcher was started; 0 after telling the player it could not be.
  int StartLauncher();
  void NewGameBlink();
  // A new press of a mouse button on the board clicks its cell; true when
  // the game acted on it.
  bool BoardClicks(int x, int y, int buttons);
  // A click of either kind on one cell: its group goes, the heads above fall.
  // True when the rules acted on it (a head was there and the game took it).
  bool ClickCell(int cell, int byFace);
  // The countdown has run out and no score pop-up holds the game's end.
  bool RunOut() const;
  // The keys of this frame: moves the cursor, and returns the first action.
  BoardCursor::Action TakeKeys();
  // What the action does through the buttons (New game, How to play, Menu,
  // a guy's push) as the same click would; returns the mouse button bits of
  // a click on a cell (0 when it was no cell click).
  int PressForKey(ButtonSet* set, BoardCursor::Action action);
  // The cell, or the guy's hot spot, under the cursor.
  RECT CursorRect() const;
  void GuyOrders();
  // Guy 0..19 (see quibbleton::kGuys) pushes his row; then, for a player's
  // order, the board settles once more; true when the guy was heard.
  bool Order(int guy, bool thenSettle);
  Sprite* GuySprite(int guy) const;
  // A new sprite for a head, placed on its cell.
  Block* MakeBlock(int cell, const quibbleton::Head& head);
  void MoveBlock(int from, int to);
  // Inserts the current player's entry and saves the table; false when the
  // score did not make the table.
  bool InsertScore(int value);

  // Watching a replay (replay_playback.cpp): a frame's controls (the first
  // frame's New game, then pause and speed), the same during an animation,
  // the replay's deal and settings once New game has run, the action due
  // in the frame, and the status line.
  BoardCursor::Action WatchControls(int x, int y, int buttons);
  void WatchDuringAnimation();
  void TakeWatchInput(int x, int y, int buttons);
  void DealReplay();
  void PlayBack();
  void Perform(const quibbleton::Action& action);
  void DrawWatchStatus();

  GameScreen& screen;
  static constexpr int originX = 137, originY = 10;
  static constexpr int columns = quibbleton::kColumns, rows = quibbleton::kRows;
  int cellWidth = 0, cellHeight = 0;
  // What the game is; the sprites below show it, a step behind while an
  // animation runs.
  quibbleton::Rules rules;
  // A head's sprite on every cell the screen shows taken.
  std::vector<Block*> board;
  std::vector<IDirectDrawSurface*> scoreTiles;
  // The other palette's tiles once it was chosen: pop-ups still rising share them.
  std::vector<IDirectDrawSurface*> otherScoreTiles;
  std::vector<ScorePopup*> popups;
  int dirty = 1;
  // The last group's points and multiplier as the HUD and the dump show them.
  int groupPoints = 0;
  int popupsVisible = 0;
  HighScoreTable highScores;
  // Set when "hiscore.dat" could not be written: the table then lives on in
  // memory for the rest of the run instead of being read back from the file.
  bool scoresUnsaved = false;
  // The scores of this run not yet in the file, entered again at the next save.
  std::vector<HighScoreTable::PendingEntry> unsavedScores;
  // From the end of a game until its score has been offered to the table.
  bool endedScorePending = false;
  TimerDots* timerDots = nullptr;
  int multiplier = 1;
  // The generator's state before the last deal, and the game's replay.
  uint32_t dealSeed = 0;
  ReplayRecorder recorder;
  ReplayPlayback playback;

  // The score server's deals (game/server_deals.cpp): asked for each frame
  // from the first one on, dealt from at New game when one fits; dealId
  // names the deal of the game in play (empty for the player's own).
  void PollServerDeals();
  void PlayServerDeal();
  // True when event was the key that asks for the day's deal.
  bool DailyDealKey(int event);
  // A game on a deal, ended with value, sent to the server with player's
  // string and key; nothing for the player's own deal.
  void PostRankedGame(int player, int value, std::string replay);
  DealSource deals{MakeDealRequest()};
  bool dealsStarted = false;
  std::string dealId;

  // Kept across games: the button bits of the last Playing frame, the New
  // game blink and the congratulations.
  int previousButtons = -1;
  int blinkPhase = 0;
  int blinkTime = 0;
  Sprite* congrats = nullptr;
  int congratsTime = 0;
  BoardCursor cursor{15, 10};

  bool paused = false;
  bool pausePending = false;
  // Inside Update (which runs the animations and pictures).
  bool updating = false;
  // While the rules' events are being shown: the board is a step behind them.
  bool showing = false;
  struct Preview {
    int cell = -1;
    bool byFace = false;
    unsigned boardStamp = 0;
    std::vector<int> cells;
    int points = 0;
  } preview;
  // Counts the rules' changes, so the preview knows when to look again.
  unsigned boardStamp = 1;
  bool movesLeft = true;
  // The end of the round by "no more moves" skips the time's-up picture.
  bool endedStuck = false;
  EndSummary summary;
  // The buttons as last seen while the summary shows: a new press closes it.
  int summaryButtons = 0;
  // The hall-of-fame place the last score entered at (0: not listed).
  int lastPlace = 0;
};

extern Game game;

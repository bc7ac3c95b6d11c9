// Watching a game: the replay named by QB_REPLAY played back on the real
// game. The game's first frame starts a New game as the player's click
// would, dealt from the replay's seed with its settings; each frame then
// performs the replay's next action once the game time has reached it,
// through the game's own click and order, so the animations, sounds, pop-ups
// and score are the game's. The viewer's input does not reach the board: P,
// Space or a click on the board pause and resume, F switches double speed.
// The watched game's score is the replay's player's, so it goes into no
// hall of fame, and nothing records it again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "game/rules/replay.h"

class ReplayPlayback {
 public:
  // Reads the replay at path: empty when it reads as one, else one line
  // saying what is wrong with it.
  std::string Load(const std::string& path);
  // Watches a replay already read.
  void Watch(const quibbleton::Replay& replay);

  // From Load until the viewer starts a game of their own after the
  // replay's game is over.
  bool Watching() const { return phase != Phase::kOff; }
  // Before the replay's game began.
  bool Ready() const { return phase == Phase::kReady; }
  const quibbleton::Replay& Played() const { return replay; }

  // New game was pressed: true when a game is to start, the replay's own
  // (the first press) or, once the replay's game is over, the viewer's
  // (watching ends then); false while the replay's game runs.
  bool LetNewGame(bool replayGameRunning);

  // The next action, once the game time ms has reached it; one a call, as
  // the game takes one click a frame. Null when none is due.
  const quibbleton::Action* Due(int64_t ms);
  // The replay's player left the game by New game, or ended it for want of
  // moves, and ms is that moment (with every action done): the game stops
  // there. Pauses take no game time, so watching passes over them.
  bool LeftAt(int64_t ms) const;

  // The viewer's controls: a key's character (P and space pause and
  // resume, F switches double speed; others do nothing) and the mouse
  // buttons of a frame with whether the pointer is on the board (a new
  // press there pauses and resumes, so a tap does on a phone).
  void Key(char c);
  void Pointer(bool onBoard, int buttons);
  void TogglePause();
  bool Paused() const { return paused; }
  bool Fast() const { return fast; }
  // The frame clock's rate the controls ask for: 0 paused, 2 fast, else 1.
  int Rate() const;
  // What the screen says while watching: the keys, and the speed.
  std::string StatusLine() const;

 private:
  enum class Phase { kOff, kReady, kRunning };
  // Puts the frame clock at Rate().
  void ApplyRate() const;

  quibbleton::Replay replay;
  Phase phase = Phase::kOff;
  size_t next = 0;
  bool paused = false;
  bool fast = false;
  int previousButtons = 0;
};

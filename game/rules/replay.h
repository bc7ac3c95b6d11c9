// A replay: the seed of a game's deal, the settings it ran with, each action
// the game acted on with its game time, and when the game ended. As text,
// one item a line:
//
//   quibbleton-replay 1
//   seed 4242
//   deal 7d0c2e91a4
//   balloons 2
//   gametime 300
//   1500 colour 3 4
//   4200 face 10 7
//   9800 push 12
//   300000 end
//
// The deal line is there only when a score server handed out the deal (its
// opaque name, so the server can tell its own deals); the seed is the deal's
// all the same. A game the player left by starting a new one ends with
// "MS end newgame" instead of "MS end", and one the player ended because no
// move was left "MS end nomoves". "MS pause" says the player paused then;
// the countdown's clock stands still while paused, so a pause takes no game
// time and comes among the actions in time order (at the same ms as an
// action, on whichever side of it it happened).
//
// Replays come from players' machines, so the parser takes any bytes: it
// reads at most kMaxReplayBytes, kMaxReplayActions and kMaxReplayPauses, and
// refuses anything it would not write itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/rules/rules.h"

namespace quibbleton {

inline constexpr size_t kMaxReplayBytes = 64 * 1024;
inline constexpr int kMaxReplayActions = 5000;
// Pauses have their own limit, so that pausing never costs a game an action.
inline constexpr int kMaxReplayPauses = 1000;
// The game itself plays at most a day (see its gametime setting).
inline constexpr int kMaxReplayGameTime = 86400;
// A minimum group above the board's 150 heads accepts no group at all,
// however much larger the setting.
inline constexpr int kMaxReplayBalloons = kCells + 1;
// A server's name for a deal: 1 to 64 of A-Z, a-z, 0-9, '-' and '_'.
inline constexpr size_t kMaxDealIdBytes = 64;
bool IsDealId(std::string_view id);

// How a game ended: its countdown ran out or its board was cleared, or the
// player pressed New game during it (the game then offers the score it had),
// or the player ended it early on a board where no move was left (it scores
// as if its countdown had run out).
enum class ReplayEnd { kFinished, kNewGame, kNoMoves };

struct TimedAction {
  int64_t ms = 0;  // game time since New game
  Action action{};
  int line = 0;  // 1-based line in the text it was read from, 0 when built
};

// The player paused at game time ms, after the first `after` actions.
struct ReplayPause {
  int64_t ms = 0;
  size_t after = 0;
  int line = 0;  // as TimedAction's
};

struct Replay {
  uint32_t seed = 0;
  std::string deal;  // the server's deal it was played on; empty for the player's own
  int balloons = Rules::kDefaultMinimumGroup;
  int gameTime = 300;  // seconds
  std::vector<TimedAction> actions;
  std::vector<ReplayPause> pauses;  // in time order, each after its `after` actions
  int64_t endMs = 0;
  ReplayEnd end = ReplayEnd::kFinished;
  int endLine = 0;
};

struct ReplayParse {
  bool ok = false;
  Replay replay;
  std::string error;  // with the line it is about, when !ok
};

ReplayParse ParseReplay(std::string_view text);
std::string FormatReplay(const Replay& replay);

// The file, in the game's "replays" folder, of the replay of the hall of
// fame's entry with that name and score.
std::string ReplayFileName(std::string_view entryName, int score);

}  // namespace quibbleton

// The rules of one game of Quibbleton as plain state: the board, which guys
// still stand, the score and the last group's multiplier. Every action
// returns its events in order and leaves the state as after the action, so
// a deal from a seed and a list of actions replays a game and its score
// without a window, clock, sound or picture.
#pragma once

#include <array>
#include <cstdint>

#include "game/rules/board.h"
#include "game/rules/events.h"

namespace quibbleton {

// score + points, stopping at the ends of int: a score never wraps negative.
int AddPoints(int score, int points);

// One thing a player does to the board.
struct Action {
  enum class Kind {
    kClickColour,  // a left click on cell: its colour group goes, heads fall
    kClickFace,    // a right click on cell: its face group goes, heads fall
    kOrder,        // guy (0..19) pushes his row, heads fall
  };
  Kind kind;
  int target;  // the cell, or the guy
};

class Rules {
 public:
  static constexpr int kDefaultMinimumGroup = 2;
  static constexpr int kBonusPerSecond = 125;

  // A fresh deal from `next` (0..32767 values): every guy stands, the score
  // is 0. The fall counter and the multiplier carry over from the game before.
  void Deal(const std::function<int()>& next);
  void Deal(Lcg& random) {
    Deal([&random] { return random.Next(); });
  }

  // An action as the game carries it out: the removal or the push, then the
  // whole board settles.
  Events Apply(const Action& action);

  // The steps actions are made of.
  Events RemoveGroup(int cell, GroupKey key);
  Events Settle();
  Events Order(int guy);
  // The cleared board's bonus for the seconds left, one second at a time.
  Events TimeBonus(int secondsLeft);
  // A cleared board doubles the score, after its bonus.
  Events DoubleScore();

  const Board& GetBoard() const { return board; }
  // Puts a head on cell or empties it (exact boards for tests and tools).
  void Place(int cell, std::optional<Head> head) { board.Place(cell, head); }
  bool Cleared() const { return board.Count() == 0; }

  int MinimumGroup() const { return minimumGroup; }
  void SetMinimumGroup(int n) { minimumGroup = n; }
  int Score() const { return score; }
  // The multiplier of the last group, 1 before the first.
  int Multiplier() const { return multiplier; }

  bool Standing(int guy) const { return guy >= 0 && guy < kGuys && standing[static_cast<size_t>(guy)]; }
  // A guy off the board (squashed, or taken off by the game) hears orders
  // but does nothing.
  void TakeOff(int guy);
  void BringGuysBack() { standing.fill(true); }

 private:
  void AddScore(int points);
  // The head on cell falls as far as it can.
  void Drop(int cell, Events& events);
  void SettleInto(Events& events);
  // Steps the guy toward `first` from *guyCell; false when a hole stops him.
  bool WalkUpTo(int guy, int* guyCell, int first, int step, Events& events) const;

  Board board;
  int minimumGroup = kDefaultMinimumGroup;
  int score = 0;
  int multiplier = 1;
  // Falls since the last settling began; only the first one is heard.
  int fallCounter = 0;
  std::array<bool, kGuys> standing = [] {
    std::array<bool, kGuys> all{};
    all.fill(true);
    return all;
  }();
};

}  // namespace quibbleton

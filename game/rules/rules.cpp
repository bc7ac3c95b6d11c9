// Groups, their points and twins, the heads falling into emptied cells and
// the cleared board's bonus.
#include "game/rules/rules.h"

#include <climits>

namespace quibbleton {

void Rules::Deal(const std::function<int()>& next) {
  board = Board::Deal(next);
  score = 0;
  BringGuysBack();
}

Events Rules::Apply(const Action& action) {
  Events events;
  switch (action.kind) {
    case Action::Kind::kClickColour:
    case Action::Kind::kClickFace:
      events = RemoveGroup(action.target,
                           action.kind == Action::Kind::kClickFace ? GroupKey::kFace : GroupKey::kColour);
      break;
    case Action::Kind::kOrder:
      events = Order(action.target);
      break;
  }
  SettleInto(events);
  return events;
}

int AddPoints(int score, int points) {
  const int64_t sum = static_cast<int64_t>(score) + points;
  return static_cast<int>(sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : sum);
}

void Rules::AddScore(int points) { score = AddPoints(score, points); }

Events Rules::RemoveGroup(int cell, GroupKey key) {
  Events events;
  if (!board.At(cell)) return events;
  const std::vector<int> group = board.FindGroup(cell, key);
  const int size = static_cast<int>(group.size());
  const bool accepted = size >= minimumGroup;
  multiplier = 1;
  events.push_back(event::GroupFound{cell, key, size, accepted});
  int basePoints = 0;
  if (accepted) {
    std::vector<Head> heads;
    for (int c : group) heads.push_back(*board.At(c));
    // A head counts once as an earlier twin, however many later twins it has.
    std::vector<bool> counted(group.size(), false);
    for (int i = 0; i < size; ++i) {
      const size_t at = static_cast<size_t>(i);
      int raises = 0;
      bool twin = false;
      for (size_t j = 0; j < at; ++j) {
        if (heads[j] != heads[at]) continue;
        if (!counted[j]) {
          ++multiplier;
          ++raises;
          counted[j] = true;
        }
        twin = true;
      }
      const bool showsMultiplier = multiplier >= 2 && twin;
      const int points = showsMultiplier ? 0 : (i + 1) * 100;
      AddScore(points);
      basePoints += (i + 1) * 100;
      board.Place(group[at], std::nullopt);
      events.push_back(event::HeadCracked{group[at], i, heads[at], raises, multiplier, showsMultiplier, points});
    }
  }
  const int points = basePoints * multiplier;
  AddScore(points);
  events.push_back(event::GroupScored{accepted ? size : 0, basePoints, multiplier, points});
  return events;
}

void Rules::Drop(int cell, Events& events) {
  const int landing = board.LandingCell(cell);
  if (landing < 0) return;
  board.Move(cell, landing);
  events.push_back(event::HeadFell{cell, landing, ++fallCounter == 1});
}

void Rules::SettleInto(Events& events) {
  fallCounter = 0;
  // From the bottom up, so a column compacts in one pass.
  for (int cell = kCells - 1; cell >= 0; --cell)
    if (board.At(cell)) Drop(cell, events);
}

Events Rules::Settle() {
  Events events;
  SettleInto(events);
  return events;
}

Events Rules::TimeBonus(int secondsLeft) {
  Events events;
  for (int k = 0; k < secondsLeft; ++k) {
    AddScore(kBonusPerSecond);
    events.push_back(event::BonusSecond{kBonusPerSecond});
  }
  return events;
}

Events Rules::DoubleScore() {
  const int before = score;
  AddScore(before);
  return Events{event::ScoreDoubled{before}};
}

void Rules::TakeOff(int guy) {
  if (guy >= 0 && guy < kGuys) standing[static_cast<size_t>(guy)] = false;
}

}  // namespace quibbleton

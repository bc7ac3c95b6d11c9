// The guys at the row ends on screen: an order goes to the rules, and the
// guy walks, pushes, is squashed and walks home as their events say.
#include <cstdio>

#include "game/game.h"
#include "widgets/sprite.h"

Sprite* Game::GuySprite(int guy) const {
  char name[16];
  std::snprintf(name, sizeof name, "guy%d", guy);
  return spriteList.Find(name);
}

bool Game::Order(int guy, bool thenSettle) {
  // The sprite list decides who is on screen: a guy gone from it (squashed,
  // or taken off) cannot push.
  if (!GuySprite(guy)) rules.TakeOff(guy);
  if (!thenSettle) {
    Show(rules.Order(guy));
    BoardChanged();
    return true;
  }
  const int64_t at = ReplayTime();
  if (!playback.Watching() && !recorder.TakesActionAt(at)) return false;
  const quibbleton::Action action{quibbleton::Action::Kind::kOrder, guy};
  const quibbleton::Events events = rules.Apply(action);
  recorder.Note(action, events, at);
  Show(events);
  BoardChanged();
  return !events.empty();
}

void Game::PushRight(int row) { Order(row, false); }

void Game::PushLeft(int row) { Order(row + quibbleton::kRows, false); }

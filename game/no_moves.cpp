// A board on which nothing can change any more: no group to click and no guy
// whose push would move a head. The game says so and lets the player end the
// round at once; the round then scores exactly as its countdown running out
// would have, and its replay says how it ended.
#include "game/game.h"
#include "game/game_screen.h"
#include "game/rules/moves.h"
#include "widgets/redraw_manager.h"

namespace {

// Where the notice stands: over the middle of the board.
constexpr int kNoticeX = 290, kNoticeY = 200;

}  // namespace

void Game::BoardChanged() {
  ++boardStamp;
  movesLeft = rules.Cleared() || quibbleton::AnyMoveLeft(rules);
}

bool Game::NoMovesLeft() const { return state == kPlaying && !movesLeft && !playback.Watching(); }

bool Game::StuckRoundEndAsked(int x, int y, int buttons, BoardCursor::Action key) {
  if (key == BoardCursor::Action::kEndRound) return true;
  const Sprite* notice = screen.NoMovesNotice();
  if (!notice || buttons == previousButtons || !(buttons & 1 || buttons & 2)) return false;
  const bool onNotice = x >= kNoticeX && x < kNoticeX + notice->width && y >= kNoticeY && y < kNoticeY + notice->height;
  // The press is taken here, so the board under the notice does not see it.
  if (onNotice) previousButtons = buttons;
  return onNotice;
}

bool Game::EndStuckRound() {
  const int64_t now = ReplayTime();
  if (!recorder.TakesNoMovesEndAt(now, rules)) return false;
  recorder.End(now, quibbleton::ReplayEnd::kNoMoves);
  endedStuck = true;
  SetState(kOutOfTime);
  endedScorePending = true;
  return true;
}

void Game::DrawNoMoves(IDirectDrawSurface* surface) {
  if (Sprite* notice = screen.NoMovesNotice()) {
    notice->SetPosition(kNoticeX, kNoticeY);
    notice->DrawTo(surface);
  }
}

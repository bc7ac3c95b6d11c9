// A player that never tires, for tests and benchmarks: it plays a legal
// game from a seed, taking the first group it finds or else ordering the
// next guy, each action as soon as the previous animation has run.
#pragma once

#include "game/rules/replay.h"

namespace quibbleton {

// At most `actions` actions; the game then ends by the countdown, or
// earlier when the board is cleared.
Replay PlayBotGame(uint32_t seed, int balloons, int gameTime, int actions);

}  // namespace quibbleton

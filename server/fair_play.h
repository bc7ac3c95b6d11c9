// The figures a moderator reads beside a verified game: how often its
// player took the action a greedy player would have (the one scoring most
// points at once among every legal click and order), and how quickly the
// player acted once the game took input again.
#pragma once

#include "game/rules/replay.h"
#include "server/storage.h"

namespace score {

// The replay must have verified: its actions are taken as the game took them.
FairPlay MeasureFairPlay(const quibbleton::Replay& replay);

}  // namespace score

// The replays of the hall of fame's entries, one file each in "replays\"
// beside "hiscore.dat" (in the user's copy of the folder when the game's
// folder is read-only), named after their entry (quibbleton::ReplayFileName).
#pragma once

#include <set>
#include <string>

#include "records/high_score_table.h"

namespace replay_store {

// The files of the table's entries, as paths for the platform's file calls.
std::set<std::string> PathsOf(const HighScoreTable& table);
// Keeps the replay of the entry (name, score); false when it could not be written.
bool Save(const char* entryName, int score, const std::string& text);
// Removes the replays in `before` that no entry of `table` has any more.
void RemoveLeft(const std::set<std::string>& before, const HighScoreTable& table);

}  // namespace replay_store

// The replays of the hall of fame's entries, one file each in "replays\"
// beside "hiscore.dat" (in the user's copy of the folder when the game's
// folder is read-only), named after their entry (quibbleton::ReplayFileName).
//
// The table and its replays stay one through kills and other games saving
// at the same time: everything that writes or removes a replay happens under
// the table's lock (HighScoreTable::Rewrite), judged by the table as read
// under it. A score's replay is written before the table that names it; the
// replays no entry names any more (pushed out, or left by a killed save) and
// the temporary files of killed saves go in a pass under the lock after the
// table is written. So a kill leaves at worst a replay without an entry, or
// a temporary file, until the next save. An entry whose replay is missing
// (it could not be written, or the table is older than replays) simply has
// none: the launcher's upload then sends no replay, and each save names such
// entries on stderr.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "records/high_score_table.h"

namespace replay_store {

// Whether name is one quibbleton::ReplayFileName makes: only such files are
// ever removed from the folder.
bool IsReplayFileName(std::string_view name);

// Keeps the replay of the entry (name, score); false, errno set, when it
// could not be written.
bool Save(const char* entryName, int score, const std::string& text);

// Under the table's lock, with the table as the file holds it: removes the
// replays no entry of table names and leftover temporary files, and names
// on stderr each entry without a replay. The number of files removed.
int Tidy(const HighScoreTable& table);

struct ScoreSave {
  HighScoreTable::MergeResult merged;
  int tableError = 0;   // errno of a table that could not be saved
  int replayError = 0;  // errno of a replay that could not be saved (the table was)
};
// Enters the scores into the table file (HighScoreTable::InsertMerged), the
// given replay (when not empty) with the last of them if it got in, then
// tidies the folder against the file as it is after the write.
ScoreSave SaveScores(HighScoreTable& table, const char* tablePath,
                     const std::vector<HighScoreTable::PendingEntry>& scores, const std::string& replay);

}  // namespace replay_store

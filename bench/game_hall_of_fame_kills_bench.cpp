// The hall of fame and its replays under SIGKILL: games saving scores into
// one folder are killed at random moments, and the folder is checked for
// entries without their replay, replays without their entry and leftover
// temporary files, right after the kill and after the next save.
//
// Usage: game_hall_of_fame_kills_bench [runs=300] [writers=1] [max-delay-us=30000] [before]
// "before" saves as the game did before its saves were made one: the table,
// then the replay, then the removal of the replays of the entries the table
// held in memory, three steps outside any common lock.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

#include "tests/game/hall_of_fame_kills.h"

namespace {

std::set<std::string> ReplaysOf(const HighScoreTable& table) {
  std::set<std::string> names;
  for (int i = 0; i < table.Count(); ++i)
    if (const HighScoreEntry* e = table.Entry(i); e->name[0] != '\0')
      names.insert("replays/" + quibbleton::ReplayFileName(e->name, e->score));
  return names;
}

void SaveAsBefore(HighScoreTable& table, const std::vector<HighScoreTable::PendingEntry>& scores,
                  const std::string& replay) {
  const std::set<std::string> before = ReplaysOf(table);
  const HighScoreTable::MergeResult merged = table.InsertMerged("hiscore.dat", scores);
  if (!merged.saved) return;
  if (merged.lastInserted) replay_store::Save(scores.back().name.c_str(), scores.back().score, replay);
  const std::set<std::string> kept = ReplaysOf(table);
  for (const std::string& path : before)
    if (!kept.count(path)) std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 300;
  const int writers = argc > 2 ? std::atoi(argv[2]) : 1;
  const int maxDelayUs = argc > 3 ? std::atoi(argv[3]) : 30000;
  const bool before = argc > 4 && std::strcmp(argv[4], "before") == 0;
  char tmpl[] = "/tmp/qbhofkillXXXXXX";
  const std::filesystem::path root = mkdtemp(tmpl);
  const hofkills::Tally tally = hofkills::KillWhileSaving(
      root, runs, writers, maxDelayUs, 20240611u,
      before ? hofkills::SaveScores(SaveAsBefore) : hofkills::SaveScores(hofkills::SaveAsTheGameDoes));
  std::filesystem::remove_all(root);
  std::printf("%s saves, %d writer(s), kill within %d us: %d runs\n", before ? "before" : "current", writers,
              maxDelayUs, tally.runs);
  std::printf("  drifted right after the kill:   %d (an entry without its replay: %d)\n", tally.driftedAtKill,
              tally.withoutReplayAtKill);
  std::printf("  still drifting after next save: %d (entries without replay %d, orphaned replays %d, leftover "
              "temporary files %d)\n",
              tally.driftedAfterNextSave, tally.total.withoutReplay, tally.total.orphans, tally.total.leftovers);
  return tally.driftedAfterNextSave == 0 ? 0 : 1;
}

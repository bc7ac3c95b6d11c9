// The hall of fame's table and its replays kept as one: each entry's replay
// saved with it, the replays of entries gone removed, what a killed save
// left repaired by the next, and games saving at once or being killed never
// leaving an entry without its replay.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "game/replay_store.h"
#include "game/rules/replay.h"
#include "tests/game/hall_of_fame_kills.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using hofkills::CountDrift;

std::string ReplayOf(const char* name, int score) {
  return TempDir::Read("replays/" + quibbleton::ReplayFileName(name, score));
}

class ReplayStore : public ::testing::Test {
 protected:
  // A game's save as InsertScore makes it: the table read back first, as at New game.
  replay_store::ScoreSave Enter(const std::string& name, int score, const std::string& replay) {
    HighScoreTable table;
    table.Resize(20);
    table.Load("hiscore.dat");
    return replay_store::SaveScores(table, "hiscore.dat", {{name, score}}, replay);
  }
  static int Entries() {
    HighScoreTable table;
    table.Resize(20);
    table.Load("hiscore.dat");
    int n = 0;
    for (int i = 0; i < table.Count(); ++i) n += table.Entry(i)->name[0] != '\0';
    return n;
  }
  TempDir dir;
};

TEST(ReplayFileNames, AreRecognisedExactlyAsTheGameNamesThem) {
  const std::string longName(255, 'x');
  for (const char* name : {"", "Ann:1 Road:ann@example.org:N", longName.c_str()})
    for (int score : {0, 7, -5, INT_MAX, INT_MIN})
      EXPECT_TRUE(replay_store::IsReplayFileName(quibbleton::ReplayFileName(name, score))) << name << " " << score;
  for (const char* other : {"notes.txt", "12-0123456789abcdef.txt.bak", "-0123456789abcdef.txt",
                            "12-0123456789ABCDEF.txt", "12-0123456789abcde.txt", "12-0123456789abcdef0.txt",
                            "12_0123456789abcdef.txt", "12345678901-0123456789abcdef.txt", "--1-0123456789abcdef.txt",
                            ".12-0123456789abcdef.txt.qbtmp-a1B2c3", "12-0123456789abcdef.TXT", ""})
    EXPECT_FALSE(replay_store::IsReplayFileName(other)) << other;
}

TEST_F(ReplayStore, EachEntryKeepsItsReplayAndAnEntryPushedOutTakesItsReplayAlong) {
  TempDir::Write("replays/notes.txt", "the player's own");
  for (int i = 1; i <= 21; ++i) {
    const replay_store::ScoreSave saved = Enter("P" + std::to_string(i), i * 10, "replay " + std::to_string(i));
    ASSERT_TRUE(saved.merged.saved);
    EXPECT_EQ(saved.replayError, 0);
    const hofkills::Drift drift = CountDrift(".");
    EXPECT_EQ(drift.Total(), 0) << "after score " << i << ": " << drift.withoutReplay << " " << drift.orphans;
  }
  EXPECT_EQ(ReplayOf("P21", 210), "replay 21");
  EXPECT_FALSE(fs::exists("replays/" + quibbleton::ReplayFileName("P1", 10))) << "the pushed-out entry's replay";
  EXPECT_EQ(ReplayOf("P2", 20), "replay 2");
  EXPECT_TRUE(fs::exists("replays/notes.txt")) << "only replays are removed";
  // A score that does not get in writes nothing: no replay, no table.
  EXPECT_FALSE(Enter("Low", 5, "low").merged.anyInserted);
  EXPECT_FALSE(fs::exists("replays/" + quibbleton::ReplayFileName("Low", 5)));
}

TEST_F(ReplayStore, TheNextSaveRemovesWhatKilledSavesLeftAndNamesEntriesWithoutReplay) {
  ASSERT_TRUE(Enter("Ann", 500, "ann").merged.saved);
  {  // An entry whose replay was lost, as a table older than replays has.
    HighScoreTable table;
    table.Resize(20);
    table.Load("hiscore.dat");
    table.Insert("Bob", 300);
    ASSERT_EQ(table.Save("hiscore.dat"), 1);
  }
  const std::string orphan = "replays/" + quibbleton::ReplayFileName("Gone", 400);
  TempDir::Write(orphan, "a replay written before its table, then killed");
  const std::string leftover = "replays/." + quibbleton::ReplayFileName("Cy", 100) + ".qbtmp-a1B2c3";
  TempDir::Write(leftover, "half a replay");  // young: no save can be under way while the table is locked
  fs::create_directory("replays/" + quibbleton::ReplayFileName("Folder", 1));
  TempDir::Write("replays/.notes.txt.bak", "kept");

  testing::internal::CaptureStderr();
  ASSERT_TRUE(Enter("Cy", 100, "cy").merged.saved);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(fs::exists(orphan));
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(fs::is_directory("replays/" + quibbleton::ReplayFileName("Folder", 1)));
  EXPECT_TRUE(fs::exists("replays/.notes.txt.bak"));
  EXPECT_EQ(ReplayOf("Ann", 500), "ann");
  EXPECT_EQ(ReplayOf("Cy", 100), "cy");
  EXPECT_NE(said.find("\"Bob\" 300 has no replay"), std::string::npos) << said;
  EXPECT_EQ(said.find("Ann"), std::string::npos) << said;
  const hofkills::Drift drift = CountDrift(".");
  EXPECT_EQ(drift.withoutReplay, 1);  // Bob's, noted: it simply has none
  EXPECT_EQ(drift.orphans + drift.leftovers, 0);
}

// Two games open at once: the second's memory still holds the table it read
// at New game, before the first saved. What it removes is judged by the
// file under the lock, so the first game's replays stay and the entry its
// score pushed out loses its replay.
TEST_F(ReplayStore, AGameWithAnOldTableInMemoryKeepsTheOtherGamesReplays) {
  HighScoreTable second;
  second.Resize(20);
  second.Load("hiscore.dat");  // empty: nothing saved yet
  for (int i = 1; i <= 20; ++i) ASSERT_TRUE(Enter("First" + std::to_string(i), i * 100, "first").merged.saved);
  ASSERT_TRUE(replay_store::SaveScores(second, "hiscore.dat", {{"Second", 5000}}, "second").merged.saved);
  EXPECT_EQ(second.Entry(0)->score, 5000);
  EXPECT_EQ(second.Entry(19)->score, 200);
  EXPECT_EQ(ReplayOf("Second", 5000), "second");
  EXPECT_EQ(ReplayOf("First2", 200), "first");
  EXPECT_FALSE(fs::exists("replays/" + quibbleton::ReplayFileName("First1", 100)));
  EXPECT_EQ(CountDrift(".").Total(), 0);
}

TEST_F(ReplayStore, AReplayThatCannotBeWrittenIsToldAndTheScoreStillSaved) {
  TempDir::Write("replays", "a file where the folder should be");
  const replay_store::ScoreSave saved = Enter("Ann", 500, "ann");
  EXPECT_TRUE(saved.merged.saved);
  EXPECT_EQ(saved.tableError, 0);
  EXPECT_EQ(saved.replayError, ENOTDIR);
  EXPECT_EQ(Entries(), 1);
  EXPECT_EQ(TempDir::Read("replays"), "a file where the folder should be");
}

TEST_F(ReplayStore, ATableThatCannotBeSavedWritesNoReplay) {
  fs::create_directory("hiscore.dat");
  const replay_store::ScoreSave saved = Enter("Ann", 500, "ann");
  EXPECT_FALSE(saved.merged.saved);
  EXPECT_TRUE(saved.merged.anyInserted);
  EXPECT_EQ(saved.tableError, EISDIR);
  EXPECT_EQ(saved.replayError, 0);
  EXPECT_FALSE(fs::exists("replays/" + quibbleton::ReplayFileName("Ann", 500)));
}

// Games, one alone and two at once, killed at random moments while they
// save: no kill leaves an entry without its replay, and whatever a kill
// left (replays without entries, temporary files) is gone after the next
// save. bench/game_hall_of_fame_kills_bench runs the same for longer.
TEST_F(ReplayStore, KilledSavesNeverLeaveAnEntryWithoutItsReplayAndTheNextSaveRepairs) {
  for (int writers : {1, 2}) {
    const hofkills::Tally tally =
        hofkills::KillWhileSaving(dir.Path(), 25, writers, 20000, 7u + writers, hofkills::SaveAsTheGameDoes);
    EXPECT_EQ(tally.runs, 25);
    EXPECT_GT(tally.driftedAtKill, 0) << "no kill landed in a save: the test saw nothing";
    EXPECT_EQ(tally.withoutReplayAtKill, 0) << writers;
    EXPECT_EQ(tally.driftedAfterNextSave, 0) << writers << ": " << tally.total.withoutReplay << " without replay, "
                                             << tally.total.orphans << " orphans, " << tally.total.leftovers
                                             << " leftovers";
  }
}

}  // namespace

// Games played by hand in a window and recorded (QB_RECORD) replay headless on
// the virtual clock to the state committed beside them: any change to what the
// same input does shows up here. Each replay names its seed in a "# seed N"
// line and dumps the state to "state.txt" before its Escape; the expected
// state is the file of the same name ending in ".state".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"
#include "run_program.h"
#include "records/high_score_table.h"

namespace {

namespace fs = std::filesystem;

// A fresh launcher folder whose Quibbleton/ links the staged game's files,
// without a hall of fame.
fs::path MakeTree(const fs::path& assets) {
  char pattern[] = "/tmp/qbreplayXXXXXX";
  const fs::path root = mkdtemp(pattern);
  const fs::path game = root / "Quibbleton";
  fs::create_directories(game);
  for (const auto& file : fs::directory_iterator(assets))
    if (file.path().filename() != "hiscore.dat") fs::create_symlink(file.path(), game / file.path().filename());
  return root;
}

TEST(Replay, HandPlayedGamesReachTheirRecordedState) {
  const fs::path replays = fs::path(QB_SOURCE_DIR) / "tests" / "e2e" / "replays";
  const fs::path assets = fs::path(QB_GAME_EXE).parent_path();
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(replays)) {
    if (entry.path().extension() != ".txt") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string script = ReadAll(entry.path());
    const size_t seedAt = script.find("# seed ");
    ASSERT_NE(seedAt, std::string::npos);
    const std::string seed = script.substr(seedAt + 7, script.find('\n', seedAt) - seedAt - 7);

    const fs::path root = MakeTree(assets);
    const fs::path game = root / "Quibbleton";
    fs::copy_file(entry.path(), root / "replay.txt");
    const ProgramResult run = RunProgram(QB_GAME_EXE, {root.string()},
                                         {{"QB_VIDEO", "headless"},
                                          {"QB_CLOCK", "virtual"},
                                          {"QB_AUDIO", "null"},
                                          {"QB_SEED", seed},
                                          {"QB_SCRIPT", (root / "replay.txt").string()},
                                          {"QB_MAX_TICKS", "600000"}},
                                         game.string());
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    fs::path expected = entry.path();
    expected.replace_extension(".state");
    EXPECT_EQ(ReadAll(root / "state.txt"), ReadAll(expected));
    fs::remove_all(root);
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}

// The hand-played game, left to run out of time instead of ending with its
// Escape: the replay the game keeps of it verifies to the score it entered.
TEST(Replay, TheHandPlayedGameRunOutVerifiesToItsHallOfFameScore) {
  const fs::path script = fs::path(QB_SOURCE_DIR) / "tests" / "e2e" / "replays" / "quibbleton-seed11.txt";
  const fs::path assets = fs::path(QB_GAME_EXE).parent_path();
  const fs::path root = MakeTree(assets);
  const fs::path game = root / "Quibbleton";
  std::istringstream played(ReadAll(script));
  std::ofstream out(root / "replay.txt");
  for (std::string line; std::getline(played, line);)
    if (line.find("ESC") == std::string::npos && line.find("deactivate") == std::string::npos) out << line << "\n";
  // Game over at 300 s, its picture 2 s, the hall-of-fame notice 1 s.
  out << "306000 tap ESC\n";
  out.close();
  const ProgramResult run = RunProgram(QB_GAME_EXE, {root.string()},
                                       {{"QB_VIDEO", "headless"},
                                        {"QB_CLOCK", "virtual"},
                                        {"QB_AUDIO", "null"},
                                        {"QB_SEED", "11"},
                                        {"QB_SCRIPT", (root / "replay.txt").string()},
                                        {"QB_MAX_TICKS", "400000"}},
                                       game.string());
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  HighScoreTable table;
  table.Resize(20);
  ASSERT_EQ(table.Load((game / "hiscore.dat").c_str()), 1);
  const HighScoreEntry& best = *table.Entry(0);
  EXPECT_EQ(best.score, 39500);  // the score the recorded state shows
  const std::string replay = ReadAll(game / "replays" / quibbleton::ReplayFileName(best.name, best.score));
  const quibbleton::Verdict verdict = quibbleton::VerifyReplayText(replay);
  EXPECT_TRUE(verdict.ok) << verdict.reason << "\n" << replay;
  EXPECT_EQ(verdict.score, best.score) << replay;
  // Eight clicks on the board, each one a group the game removed.
  EXPECT_EQ(quibbleton::ParseReplay(replay).replay.actions.size(), 8u) << replay;
  fs::remove_all(root);
}

}  // namespace

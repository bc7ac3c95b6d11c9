// Games played by hand in a window and recorded (QB_RECORD) replay headless on
// the virtual clock to the state committed beside them: any change to what the
// same input does shows up here. Each replay names its seed in a "# seed N"
// line and dumps the state to "state.txt" before its Escape; the expected
// state is the file of the same name ending in ".state".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "run_program.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
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

    char pattern[] = "/tmp/qbreplayXXXXXX";
    const fs::path root = mkdtemp(pattern);
    const fs::path game = root / "Quibbleton";
    fs::create_directories(game);
    for (const auto& file : fs::directory_iterator(assets))
      if (file.path().filename() != "hiscore.dat") fs::create_symlink(file.path(), game / file.path().filename());
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

}  // namespace

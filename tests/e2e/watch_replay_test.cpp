// A replay watched on the real game (QB_REPLAY), headless on the virtual
// clock: the bot's games play back to the score the verifier gives them,
// at double speed in about half the time, through pauses, and a game its
// player left by New game stops where it was left. The game's state is
// dumped every 100 ms of the run, so each test reads when things happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;

constexpr int kDumpEvery = 100;

// One dump's "key value" lines.
std::map<std::string, std::string> Fields(const std::string& dump) {
  std::map<std::string, std::string> fields;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) {
    const size_t space = line.find(' ');
    if (space != std::string::npos) fields.emplace(line.substr(0, space), line.substr(space + 1));
  }
  return fields;
}

struct Watched {
  ProgramResult run;
  // The dumps by their tick, from kDumpEvery on.
  std::map<int, std::string> dumps;
  bool hallOfFame = false;  // the game folder holds a hall of fame or replays afterwards

  std::string Field(int tick, const std::string& key) const { return Fields(dumps.at(tick))[key]; }
  // The first tick whose dump shows the game no longer playing (0 when none).
  int EndTick() const {
    for (const auto& [tick, dump] : dumps)
      if (Fields(dump)["state"] != "playing" && Fields(dump)["state"] != "idle") return tick;
    return 0;
  }
  const std::string& Last() const { return dumps.rbegin()->second; }
};

using Script = std::multimap<int, std::string>;

// Runs the game on the replay's text with the script's commands by tick,
// dumping its state every kDumpEvery ms up to `until`.
Watched Watch(const std::string& replayText, Script script, int until) {
  char pattern[] = "/tmp/qbwatchXXXXXX";
  const fs::path root = mkdtemp(pattern);
  const fs::path game = root / "Quibbleton";
  fs::create_directories(game);
  for (const auto& file : fs::directory_iterator(fs::path(QB_GAME_EXE).parent_path()))
    if (file.path().filename() != "hiscore.dat" && file.path().filename() != "replays")
      fs::create_symlink(file.path(), game / file.path().filename());
  std::ofstream(root / "replay.txt") << replayText;
  // The commands of a tick come before its dump, in the order given.
  for (int tick = kDumpEvery; tick <= until; tick += kDumpEvery)
    script.emplace(tick, "dump " + (root / ("dump" + std::to_string(tick))).string());
  script.emplace(until + 50, "tap ESC");
  std::string text;
  for (const auto& [tick, command] : script) text += std::to_string(tick) + " " + command + "\n";
  std::ofstream(root / "script.txt") << text;

  Watched watched;
  watched.run = RunProgram(QB_GAME_EXE, {root.string()},
                           {{"QB_VIDEO", "headless"},
                            {"QB_CLOCK", "virtual"},
                            {"QB_AUDIO", "null"},
                            {"QB_REPLAY", (root / "replay.txt").string()},
                            {"QB_SCRIPT", (root / "script.txt").string()},
                            {"QB_MAX_TICKS", std::to_string(until + 5000)}},
                           game.string());
  for (int tick = kDumpEvery; tick <= until; tick += kDumpEvery)
    watched.dumps[tick] = ReadAll(root / ("dump" + std::to_string(tick)));
  watched.hallOfFame = fs::exists(game / "hiscore.dat") || fs::exists(game / "replays");
  fs::remove_all(root);
  return watched;
}

// A bot's short game: six seconds, its actions early, then the countdown runs out.
struct BotGame {
  quibbleton::Replay replay = quibbleton::PlayBotGame(4242, 2, 6, 14);
  quibbleton::Verdict verdict = quibbleton::VerifyReplay(replay);
  std::string text = quibbleton::FormatReplay(replay);
};

TEST(WatchReplay, ABotGamePlaysBackToItsVerifiedScoreAndIsNotKept) {
  const BotGame bot;
  ASSERT_TRUE(bot.verdict.ok) << bot.verdict.reason;
  ASSERT_GT(bot.verdict.score, 0);
  // A key of the player's (N would start a game of their own) changes nothing.
  const Watched watched = Watch(bot.text, {{700, "tap N"}, {720, "tap Z"}}, 16000);
  ASSERT_EQ(watched.run.exitCode, 0) << watched.run.errors;
  EXPECT_EQ(watched.Field(100, "state"), "playing");
  EXPECT_EQ(watched.Field(100, "seconds"), "6");
  // It ends where the verifier lets it end (its last pop-ups hold the end
  // back a little), and after the game-over picture the game waits.
  const int end = watched.EndTick();
  EXPECT_GE(end, bot.replay.endMs);
  EXPECT_LE(end, bot.replay.endMs + quibbleton::kEndSlackMs + kDumpEvery);
  const auto last = Fields(watched.Last());
  EXPECT_EQ(last.at("state"), "idle");
  EXPECT_EQ(last.at("score"), std::to_string(bot.verdict.score)) << bot.text;
  EXPECT_EQ(last.at("best"), "0");
  EXPECT_FALSE(watched.hallOfFame);
}

TEST(WatchReplay, DoubleSpeedReachesTheScoreInAboutHalfTheTime) {
  const BotGame bot;
  const Watched normal = Watch(bot.text, {}, 16000);
  const Watched fast = Watch(bot.text, {{50, "tap F"}}, 16000);
  ASSERT_EQ(fast.run.exitCode, 0) << fast.run.errors;
  const double ratio = static_cast<double>(fast.EndTick()) / normal.EndTick();
  EXPECT_GT(ratio, 0.45) << fast.EndTick() << " against " << normal.EndTick();
  EXPECT_LT(ratio, 0.6) << fast.EndTick() << " against " << normal.EndTick();
  EXPECT_EQ(Fields(fast.Last()).at("score"), std::to_string(bot.verdict.score));
  EXPECT_EQ(Fields(fast.Last()).at("state"), "idle");
  // F again after 1 s: the normal pace, 1 s saved.
  const Watched back = Watch(bot.text, {{50, "tap F"}, {1050, "tap F"}}, 16000);
  EXPECT_NEAR(back.EndTick(), normal.EndTick() - 1000, 150);
  EXPECT_EQ(Fields(back.Last()).at("score"), std::to_string(bot.verdict.score));
}

TEST(WatchReplay, PausesHoldTheGameAndAClickOnTheBoardActsOnNothing) {
  const BotGame bot;
  const Watched normal = Watch(bot.text, {}, 16000);
  // P pauses for 1.5 s, Space pauses 1 s, a click on a cell pauses 1 s: 3.5 s in all.
  const Watched paused = Watch(bot.text,
                               {{500, "tap P"}, {2000, "tap P"}, {2200, "tap SPACE"}, {3200, "tap SPACE"},
                                {3400, "click left 400 300"}, {4400, "click right 400 300"}},
                               20000);
  ASSERT_EQ(paused.run.exitCode, 0) << paused.run.errors;
  // Nothing moves while paused: neither the countdown nor the board.
  EXPECT_EQ(paused.dumps.at(600), paused.dumps.at(1900));
  EXPECT_EQ(paused.dumps.at(3500), paused.dumps.at(4300));
  EXPECT_NEAR(paused.EndTick(), normal.EndTick() + 3500, 150);
  EXPECT_EQ(Fields(paused.Last()).at("score"), std::to_string(bot.verdict.score));
}

TEST(WatchReplay, EscapeInTheMiddleOfAWatchedGameEndsTheRunCleanly) {
  const BotGame bot;
  // Escape lands during the game's animations, plain and paused: the watch
  // takes its controls then, and must leave the close to the frame loop.
  for (const Script& script : {Script{}, Script{{500, "tap P"}}}) {
    const Watched watched = Watch(bot.text, script, 5000);
    EXPECT_EQ(watched.run.exitCode, 0) << watched.run.errors;
  }
}

TEST(WatchReplay, AGameLeftByNewGameStopsWhereItWasLeft) {
  quibbleton::Replay replay = quibbleton::PlayBotGame(11, 2, 300, 6);
  replay.end = quibbleton::ReplayEnd::kNewGame;
  replay.endMs = replay.actions.back().ms + 3000;
  // The score it reaches, whether or not this verifier takes a game left early.
  const int score = quibbleton::VerifyReplay(replay).score;
  ASSERT_GT(score, 0);
  const int left = static_cast<int>(replay.endMs / kDumpEvery + 2) * kDumpEvery;
  const int until = left + 2000;
  const Watched watched = Watch(quibbleton::FormatReplay(replay), {}, until);
  ASSERT_EQ(watched.run.exitCode, 0) << watched.run.errors;
  EXPECT_EQ(watched.Field(left, "state"), "idle") << watched.dumps.at(left);
  EXPECT_EQ(watched.Field(left, "score"), std::to_string(score));
  // The countdown stopped there, with the seconds the game had left.
  EXPECT_EQ(watched.Field(left, "seconds"), watched.Field(until, "seconds"));
  EXPECT_GT(std::stoi(watched.Field(until, "seconds")), 280);
  EXPECT_FALSE(watched.hallOfFame);
}

TEST(WatchReplay, AFileThatIsNoReplayEndsTheRunAtStart) {
  for (const std::string& text : {std::string("quibbleton-replay 1\nseed x\n"), std::string()}) {
    const Watched watched = Watch(text, {}, 100);
    EXPECT_EQ(watched.run.exitCode, 2) << text;
    EXPECT_NE(watched.run.errors.find("QB_REPLAY="), std::string::npos) << watched.run.errors;
    EXPECT_EQ(std::count(watched.run.errors.begin(), watched.run.errors.end(), '\n'), 1) << watched.run.errors;
  }
}

}  // namespace

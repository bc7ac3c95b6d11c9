// Random games of the real game on the virtual clock, clicked densely so that
// clicks fall on every edge of its timing: the frame an animation ends, the
// countdown's last frames, the frame a pop-up's points are gone. Each game's
// replay, as the game keeps it beside its hall-of-fame entry, verifies to the
// entry's score, whether the countdown or the player's New game ended it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"
#include "records/high_score_table.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using namespace quibbleton;

// A game folder linking the staged game's files, with its own two-second
// games and no hall of fame.
fs::path MakeTree(const fs::path& assets) {
  char pattern[] = "/tmp/qbtimingXXXXXX";
  const fs::path root = mkdtemp(pattern);
  const fs::path game = root / "Quibbleton";
  fs::create_directories(game);
  for (const auto& file : fs::directory_iterator(assets))
    if (file.path().filename() != "hiscore.dat" && file.path().filename() != "setup.ini")
      fs::create_symlink(file.path(), game / file.path().filename());
  std::ofstream(game / "setup.ini") << "[setup]\nfullscreen=0\nnowindow=0\n\n[default]\nballoons=2\ngametime=2\n";
  return root;
}

// The script of one run: games one after another, each begun by New game.
// Most are clicked until past their countdown and run out (then a key
// closes the game-over picture); the others are left by the next New game
// within their two seconds. Games that a press lost (a New game during
// an animation) only shift the next one.
std::string Script(std::mt19937& random, int games) {
  std::ostringstream script;
  const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  script << "100 activate\n";
  int at = 500;
  for (int g = 0; g < games; ++g) {
    script << at << " click left 50 375\n";
    const bool leftByNewGame = pick(0, 3) == 0;
    // Dense clicks, then (for a game left to run out) a few with pauses
    // between them, which land anywhere in the rising points' last second.
    const int denseUntil = leftByNewGame ? pick(100, 500) : pick(1700, 2000);
    const int clicksUntil = leftByNewGame ? denseUntil : 3000;
    // Past the countdown the clicks come dense again for a while, so that
    // some fall in the very last frame of the rising points: each tap is
    // taken on its own frame, so only a steady stream reaches that frame.
    const auto step = [&](int t) {
      if (t < at + denseUntil) return pick(1, 3) * 10;
      if (t >= at + 2000 && t < at + 2600) return pick(1, 4) * 10;
      return pick(10, 120) * 10;
    };
    for (int t = at + 40; t < at + clicksUntil; t += step(t)) {
      if (pick(0, 19) == 0) {
        // A guy's order: his hot spot at either end of a row.
        script << t << " click left " << (pick(0, 1) ? 99 : 751) + 20 << " " << pick(0, 9) * 55 + 37 << "\n";
      } else {
        script << t << " click " << (pick(0, 1) ? "left" : "right") << " " << 137 + pick(0, 14) * 41 + 20 << " "
               << 10 + pick(0, 9) * 55 + 27 << "\n";
      }
    }
    if (leftByNewGame) {
      // The next New game comes once the last animation has most likely
      // run, well within the two seconds.
      at += clicksUntil + pick(30, 50) * 10;
    } else {
      // The game-over picture stays until a key; the hall-of-fame notice a second.
      script << at + 4600 << " tap LEFT\n";
      at += 5800;
    }
  }
  script << at << " tap ESC\n" << at + 2000 << " tap ESC\n";
  return script.str();
}

// Where in the game's timing each action of a verified replay fell.
struct Edges {
  int frameAfterAnimation = 0;  // the first frame the game takes input again
  int lastSecond = 0;           // the countdown's last 100 ms
  int heldByPopups = 0;         // after the countdown, while points still rose
  int lastPopupFrame = 0;       // in the last frame of the points
};

void CountEdges(const Replay& replay, Edges& edges) {
  Rules rules;
  Lcg random(replay.seed);
  rules.Deal(random);
  rules.SetMinimumGroup(replay.balloons);
  PlayTimeline timeline(replay.gameTime);
  const int64_t out = int64_t{replay.gameTime} * 1000;
  int64_t popupsUntil = -1;
  for (const TimedAction& timed : replay.actions) {
    edges.frameAfterAnimation += timed.ms == timeline.ReadyAt() + kFrameMs;
    edges.lastSecond += timed.ms < out && timed.ms >= out - 100;
    edges.heldByPopups += timed.ms >= out;
    edges.lastPopupFrame += timed.ms >= out && timed.ms > popupsUntil - kFrameMs;
    const Events events = rules.Apply(timed.action);
    timeline.Took(timed.ms, events);
    const AnimationTiming timing = TimeAnimation(events);
    if (timing.lastCrackMs >= 0) popupsUntil = timed.ms + timing.lastCrackMs + kPopupMs;
  }
}

TEST(GameTiming, EveryRandomGameOnTheClockEdgesVerifiesToItsHallOfFameScore) {
  const fs::path assets = fs::path(QB_GAME_EXE).parent_path();
#ifdef QB_SANITIZED
  constexpr int kRuns = 10, kGamesPerRun = 20;
#else
  constexpr int kRuns = 70, kGamesPerRun = 20;
#endif
  int verified = 0, leftByNewGame = 0, cleared = 0;
  Edges edges;
  for (int run = 0; run < kRuns; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    std::mt19937 random(static_cast<uint32_t>(run));
    const fs::path root = MakeTree(assets);
    const fs::path game = root / "Quibbleton";
    std::ofstream(root / "script.txt") << Script(random, kGamesPerRun);
    const ProgramResult result = RunProgram(QB_GAME_EXE, {root.string()},
                                            {{"QB_VIDEO", "headless"},
                                             {"QB_CLOCK", "virtual"},
                                             {"QB_AUDIO", "null"},
                                             {"QB_SEED", std::to_string(1000 + run)},
                                             {"QB_SCRIPT", (root / "script.txt").string()},
                                             {"QB_MAX_TICKS", "400000"}},
                                            game.string());
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    HighScoreTable table;
    table.Resize(20);
    ASSERT_EQ(table.Load((game / "hiscore.dat").c_str()), 1);
    // Entries of one score share their replay's file: each file once.
    std::set<std::string> seen;
    for (int i = 0; i < table.Count(); ++i) {
      const HighScoreEntry& entry = *table.Entry(i);
      if (entry.score <= 0) continue;
      const std::string file = ReplayFileName(entry.name, entry.score);
      if (!seen.insert(file).second) continue;
      const std::string text = ReadAll(game / "replays" / file);
      const Verdict verdict = VerifyReplayText(text);
      ASSERT_TRUE(verdict.ok) << verdict.reason << "\n" << text;
      ASSERT_EQ(verdict.score, entry.score) << text;
      const Replay replay = ParseReplay(text).replay;
      CountEdges(replay, edges);
      ++verified;
      leftByNewGame += replay.end == ReplayEnd::kNewGame;
      cleared += replay.end == ReplayEnd::kFinished && replay.endMs < int64_t{replay.gameTime} * 1000;
    }
    fs::remove_all(root);
  }
  std::printf("%d games verified (%d left by New game, %d cleared); actions in the frame after an animation %d, "
              "in the countdown's last 100 ms %d, after it while points rose %d, in the points' last frame %d\n",
              verified, leftByNewGame, cleared, edges.frameAfterAnimation, edges.lastSecond, edges.heldByPopups,
              edges.lastPopupFrame);
  // The figures of the whole run of 70, in proportion to the runs played.
  const auto atLeast = [](int n) { return static_cast<int>(n * kRuns / 70); };
  EXPECT_GE(verified, atLeast(1000));
  EXPECT_GE(leftByNewGame, atLeast(80));
  EXPECT_GT(edges.frameAfterAnimation, atLeast(1000));
  EXPECT_GT(edges.lastSecond, atLeast(100));
  EXPECT_GT(edges.heldByPopups, atLeast(100));
  // A handful in a thousand games: the dense clicks past the countdown reach it.
  EXPECT_GE(edges.lastPopupFrame, atLeast(4));
}

}  // namespace

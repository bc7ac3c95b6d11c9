// Pauses and the early end for want of moves in a replay: read and written
// back the same, refused out of place, and an early end scoring exactly what
// the countdown would have given.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "game/rules/moves.h"
#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "game/rules/timing.h"

namespace {

using namespace quibbleton;

std::string Corpus(const std::string& name) {
  std::ifstream in(std::string(QB_SOURCE_DIR) + "/fuzz/corpus/replay/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A game of seed 2948 (default settings) played to a board with no move left.
Replay NoMovesGame() {
  const ReplayParse parsed = ParseReplay(Corpus("nomoves"));
  EXPECT_TRUE(parsed.ok) << parsed.error;
  return parsed.replay;
}

Verdict Verify(const Replay& replay) { return VerifyReplayText(FormatReplay(replay)); }

const std::string kHeader = "quibbleton-replay 1\nseed 4242\nballoons 2\ngametime 300\n";

TEST(ReplayPauses, ReadAndWrittenBackInTheirPlaceAmongTheActions) {
  const std::string text = Corpus("paused");
  const ReplayParse parsed = ParseReplay(text);
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(FormatReplay(parsed.replay), text);
  EXPECT_EQ(parsed.replay.end, ReplayEnd::kNoMoves);
  const std::vector<ReplayPause>& pauses = parsed.replay.pauses;
  ASSERT_EQ(pauses.size(), 6u);
  // Before the first action (twice), after it at its own ms, during its animation.
  EXPECT_EQ(pauses[1].ms, 10);
  EXPECT_EQ(pauses[1].after, 0u);
  EXPECT_EQ(pauses[2].after, 1u);
  EXPECT_EQ(pauses[2].line, 8);
  EXPECT_EQ(pauses.back().ms, parsed.replay.endMs);
  EXPECT_EQ(pauses.back().after, parsed.replay.actions.size());
  EXPECT_EQ(parsed.replay.actions[1].line, 10);

  // Replays without the new lines read and write byte for byte as ever.
  for (const std::string& old : {Corpus("played"), Corpus("sample"), kHeader + "10 push 1\n2000 end newgame\n"}) {
    const ReplayParse again = ParseReplay(old);
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_TRUE(again.replay.pauses.empty());
    EXPECT_EQ(FormatReplay(again.replay), old);
  }

  for (const std::string& bad : std::vector<std::string>{
           kHeader + "10 end\n20 pause\n",                  // after the end
           kHeader + "10 end nomoves\n10 pause\n",
           kHeader + "20 push 1\n10 pause\n30 end\n",       // before the action above it
           kHeader + "20 pause\n10 pause\n30 end\n",        // before the pause above it
           kHeader + "20 pause\n10 push 1\n30 end\n",
           kHeader + "20 pause\n10 end\n",
           kHeader + "10 pause now\n30 end\n",
           kHeader + "10 pause 1\n30 end\n",
           kHeader + "10 Pause\n30 end\n",
           kHeader + "10 end nomove\n",
           kHeader + "10 end nomoves newgame\n",
           kHeader + "10 push 1\n10 end nomoves\n",         // the end after an action's ms only
       }) {
    EXPECT_FALSE(ParseReplay(bad).ok) << bad;
  }
  // Pauses have a limit of their own, and do not count as actions.
  std::string many = kHeader;
  for (int i = 0; i < kMaxReplayPauses; ++i) many += "5 pause\n";
  EXPECT_TRUE(ParseReplay(many + "10 end\n").ok);
  const ReplayParse tooMany = ParseReplay(many + "5 pause\n10 end\n");
  EXPECT_FALSE(tooMany.ok);
  EXPECT_NE(tooMany.error.find("too many pauses"), std::string::npos) << tooMany.error;
}

TEST(ReplayPauses, TakeNoGameTimeAndAreRefusedOutsideTheGameOrOutOfOrder) {
  const Replay game = NoMovesGame();
  const Verdict plain = Verify(game);
  ASSERT_TRUE(plain.ok) << plain.reason;
  const Verdict paused = VerifyReplayText(Corpus("paused"));
  ASSERT_TRUE(paused.ok) << paused.reason;
  EXPECT_EQ(paused.score, plain.score);

  // Built in memory, so no parser has put them in order.
  Replay late = game;
  late.pauses.push_back({game.endMs + 1, game.actions.size(), 0});
  const Verdict afterEnd = VerifyReplay(late);
  EXPECT_FALSE(afterEnd.ok);
  EXPECT_NE(afterEnd.reason.find("after the game ended"), std::string::npos) << afterEnd.reason;
  Replay misplaced = game;
  misplaced.pauses.push_back({game.actions[3].ms - 1, 5, 0});
  EXPECT_FALSE(VerifyReplay(misplaced).ok);
  misplaced.pauses.back().ms = game.actions[5].ms + 1;
  EXPECT_FALSE(VerifyReplay(misplaced).ok);
  misplaced.pauses.back().ms = game.actions[5].ms;
  EXPECT_TRUE(VerifyReplay(misplaced).ok);
  misplaced.pauses.push_back({game.actions[5].ms - 1, 5, 0});
  EXPECT_FALSE(VerifyReplay(misplaced).ok) << "a pause before the one before it";
  misplaced.pauses.back() = {game.endMs, game.actions.size() + 1, 0};
  EXPECT_FALSE(VerifyReplay(misplaced).ok) << "after more actions than there are";
}

TEST(ReplayNoMoves, EndsEarlyOnlyBetweenAnimationsWithNoMoveLeftAndScoresWhatTheCountdownWould) {
  const Replay game = NoMovesGame();
  const Verdict early = Verify(game);
  ASSERT_TRUE(early.ok) << early.reason;
  Replay countdown = game;
  countdown.end = ReplayEnd::kFinished;
  countdown.endMs = int64_t{game.gameTime} * 1000;
  const Verdict full = Verify(countdown);
  ASSERT_TRUE(full.ok) << full.reason;
  EXPECT_EQ(early.score, full.score);
  EXPECT_GT(early.score, 0);

  // Where the game ended, no move was left, and before each action one was.
  Rules rules;
  Lcg random(game.seed);
  rules.Deal(random);
  rules.SetMinimumGroup(game.balloons);
  int64_t readyAt = 0;
  for (const TimedAction& timed : game.actions) {
    EXPECT_TRUE(AnyMoveLeft(rules)) << timed.ms;
    readyAt = timed.ms + AnimationMs(rules.Apply(timed.action));
  }
  EXPECT_FALSE(AnyMoveLeft(rules));
  EXPECT_FALSE(rules.Cleared());
  EXPECT_EQ(early.score, rules.Score()) << "no bonus and no doubling";

  // The frame after the last animation, and up to the countdown's last moment.
  Replay at = game;
  at.endMs = readyAt + kFrameMs;
  EXPECT_TRUE(Verify(at).ok);
  at.endMs -= 1;
  const Verdict during = Verify(at);
  EXPECT_FALSE(during.ok);
  EXPECT_EQ(during.line, 5 + static_cast<int>(game.actions.size())) << during.reason;
  at.endMs = countdown.endMs - 1;
  EXPECT_TRUE(Verify(at).ok);
  at.endMs += 1;
  EXPECT_FALSE(Verify(at).ok) << "the countdown has run out";

  // Without the last click, a group was still there to take.
  Replay moveLeft = game;
  moveLeft.actions.pop_back();
  const Verdict left = Verify(moveLeft);
  EXPECT_FALSE(left.ok);
  EXPECT_NE(left.reason.find("a move left"), std::string::npos) << left.reason;
}

TEST(ReplayNoMoves, AClearedBoardIsNoBoardToEndForWantOfMoves) {
  // With groups of one every click removes heads: the board empties.
  Replay cleared = PlayBotGame(9, 1, 300, 1000);
  ASSERT_LT(cleared.actions.size(), static_cast<size_t>(kCells));
  cleared.end = ReplayEnd::kNoMoves;
  cleared.endMs = cleared.actions.back().ms + 20000;
  const Verdict verdict = Verify(cleared);
  EXPECT_FALSE(verdict.ok);
  EXPECT_NE(verdict.reason.find("cleared board"), std::string::npos) << verdict.reason;
}

}  // namespace

// Replays: the text is read strictly and back the same, and the verifier
// refuses every game the game itself could not have played.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "tests/rules/rules_test_support.h"

namespace {

using namespace quibbleton;

const std::string kHeader = "quibbleton-replay 1\nseed 4242\nballoons 2\ngametime 300\n";

TEST(ReplayText, ReadsWhatItWritesAndRefusesEverythingElse) {
  const Replay played = PlayBotGame(77, 2, 300, 60);
  const std::string text = FormatReplay(played);
  const ReplayParse parsed = ParseReplay(text);
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(FormatReplay(parsed.replay), text);
  EXPECT_EQ(parsed.replay.actions.size(), played.actions.size());
  EXPECT_EQ(parsed.replay.actions[2].line, 7);

  const ReplayParse sample = ParseReplay(kHeader + "1500 colour 3 4\n4200 face 10 7\n9800 push 12\n300000 end");
  ASSERT_TRUE(sample.ok) << sample.error;
  EXPECT_EQ(sample.replay.seed, 4242u);
  EXPECT_EQ(sample.replay.actions[0].action.target, 3 + 4 * kColumns);
  EXPECT_EQ(sample.replay.actions[1].action.kind, Action::Kind::kClickFace);
  EXPECT_EQ(sample.replay.actions[2].action.target, 12);
  EXPECT_EQ(sample.replay.endMs, 300000);
  EXPECT_EQ(sample.replay.end, ReplayEnd::kFinished);
  EXPECT_TRUE(sample.replay.deal.empty());

  // A server's deal and a game left by New game survive the round trip.
  const std::string dealt =
      "quibbleton-replay 1\nseed 4242\ndeal d-20261209_x\nballoons 2\ngametime 300\n1500 colour 3 4\n2000 end newgame\n";
  const ReplayParse withDeal = ParseReplay(dealt);
  ASSERT_TRUE(withDeal.ok) << withDeal.error;
  EXPECT_EQ(withDeal.replay.deal, "d-20261209_x");
  EXPECT_EQ(withDeal.replay.end, ReplayEnd::kNewGame);
  EXPECT_EQ(withDeal.replay.endLine, 7);
  EXPECT_EQ(FormatReplay(withDeal.replay), dealt);

  for (const std::string& bad : std::vector<std::string>{
           std::string(""),
           kHeader,                                                  // no end
           "quibbleton-replay 2\nseed 1\nballoons 2\ngametime 300\n10 end\n",
           "quibbleton-replay 1\nballoons 2\nseed 1\ngametime 300\n10 end\n",
           "quibbleton-replay 1\nseed 4294967296\nballoons 2\ngametime 300\n10 end\n",
           "quibbleton-replay 1\nseed 1\nballoons 2\ngametime 86401\n10 end\n",
           kHeader + "10 end\n20 push 1\n",                           // after the end
           kHeader + "10 push 1\n10 push 2\n30 end\n",                // times must increase
           kHeader + "20 push 1\n10 end\n",
           kHeader + "10 colour 15 0\n30 end\n",                      // off the board
           kHeader + "10 colour 0 10\n30 end\n",
           kHeader + "10 push 20\n30 end\n",
           kHeader + "010 push 1\n30 end\n",                          // one spelling only
           kHeader + "10 push +1\n30 end\n",
           kHeader + "10  push 1\n30 end\n",
           kHeader + "10 push 1 \n30 end\n",
           kHeader + "10 push 1\r\n30 end\n",
           kHeader + "-10 push 1\n30 end\n",
           kHeader + "10 pull 1\n30 end\n",
           kHeader + "10 end\n\n",
           kHeader + "10 end newgam\n",
           kHeader + "10 end newgame now\n",
           "quibbleton-replay 1\nseed 1\nballoons 2\ndeal a\ngametime 300\n10 end\n",  // deal after seed only
           "quibbleton-replay 1\nseed 1\ndeal a\ndeal b\nballoons 2\ngametime 300\n10 end\n",
           "quibbleton-replay 1\nseed 1\ndeal a.b\nballoons 2\ngametime 300\n10 end\n",
           "quibbleton-replay 1\nseed 1\ndeal " + std::string(65, 'a') + "\nballoons 2\ngametime 300\n10 end\n",
       }) {
    EXPECT_FALSE(ParseReplay(bad).ok) << bad;
  }

  std::string tooMany = kHeader;
  for (int i = 1; i <= kMaxReplayActions + 1; ++i) tooMany += std::to_string(i) + " push 10\n";
  const ReplayParse many = ParseReplay(tooMany + "99999 end\n");
  EXPECT_FALSE(many.ok);
  EXPECT_NE(many.error.find("too many"), std::string::npos) << many.error;
  EXPECT_FALSE(ParseReplay(kHeader + std::string(kMaxReplayBytes, '#')).ok);
}

// The claimed game moved by `shift` ms from action `from` on, end included.
Replay Shifted(Replay replay, size_t from, int64_t shift) {
  for (size_t i = from; i < replay.actions.size(); ++i) replay.actions[i].ms += shift;
  replay.endMs += shift;
  return replay;
}

Verdict Verify(const Replay& replay) { return VerifyReplayText(FormatReplay(replay)); }

TEST(ReplayVerifier, ScoresWhatTheGameCouldPlayAndNamesTheFirstActionItCouldNot) {
  const Replay played = PlayBotGame(4242, 2, 300, 40);
  ASSERT_EQ(played.actions.size(), 40u);
  const Verdict honest = Verify(played);
  ASSERT_TRUE(honest.ok) << honest.reason;
  EXPECT_GT(honest.score, 0);

  // Action 10 moved into action 9's animation; action 11 then keeps its time.
  Replay early = played;
  early.actions[10].ms = early.actions[9].ms + 1;
  const Verdict tooSoon = Verify(early);
  EXPECT_FALSE(tooSoon.ok);
  EXPECT_EQ(tooSoon.line, 5 + 10) << tooSoon.reason;
  // A whole game played a second later is the same game.
  const Verdict shifted = Verify(Shifted(played, 0, 1000));
  EXPECT_TRUE(shifted.ok) << shifted.reason;
  EXPECT_EQ(shifted.score, honest.score);

  // A click on a cell the game's actions have emptied.
  Rules rules;
  Lcg random(played.seed);
  rules.Deal(random);
  for (const TimedAction& timed : played.actions) rules.Apply(timed.action);
  int empty = -1;
  for (int cell = 0; cell < kCells && empty < 0; ++cell)
    if (!rules.GetBoard().At(cell)) empty = cell;
  ASSERT_GE(empty, 0);
  Replay onNothing = played;
  onNothing.actions.push_back({played.actions.back().ms + 10000, {Action::Kind::kClickColour, empty}, 0});
  const Verdict emptyClick = Verify(onNothing);
  EXPECT_FALSE(emptyClick.ok);
  EXPECT_EQ(emptyClick.line, 5 + 40) << emptyClick.reason;

  // After the countdown: the game is over at 300 s.
  Replay late = Shifted(played, 39, 300000 - played.actions[39].ms);
  EXPECT_FALSE(Verify(late).ok);
  // A game that ends before its countdown, or long after it.
  EXPECT_FALSE(Verify(Shifted(played, played.actions.size(), -played.endMs + played.actions.back().ms + 1000)).ok);
  EXPECT_FALSE(Verify(Shifted(played, played.actions.size(), kEndSlackMs + 1)).ok);
  // The same game with less time allowed.
  Replay shorter = played;
  shorter.gameTime = static_cast<int>(played.actions.back().ms / 1000);
  EXPECT_FALSE(Verify(shorter).ok);
  // Another deal: the same clicks are refused or score otherwise.
  Replay reseeded = played;
  reseeded.seed = 4243;
  const Verdict other = Verify(reseeded);
  EXPECT_TRUE(!other.ok || other.score != honest.score);
}

TEST(ReplayVerifier, AClearedBoardGetsItsSecondsLeftAndDoubles) {
  // With groups of one every click removes heads: the board empties.
  const Replay played = PlayBotGame(9, 1, 300, 1000);
  ASSERT_LT(played.actions.size(), static_cast<size_t>(kCells));
  const Verdict cleared = Verify(played);
  ASSERT_TRUE(cleared.ok) << cleared.reason;
  // The same game a second later: a second less of bonus, doubled.
  const Verdict later = Verify(Shifted(played, 0, 1000));
  ASSERT_TRUE(later.ok) << later.reason;
  EXPECT_EQ(cleared.score - later.score, 2 * Rules::kBonusPerSecond);
  // Ending before the bonus has counted its seconds is not this game's end.
  EXPECT_FALSE(Verify(Shifted(played, played.actions.size(), -1000)).ok);
  // Nothing comes after a cleared board.
  Replay more = Shifted(played, played.actions.size(), 60000);
  more.actions.push_back({played.endMs + 100, {Action::Kind::kOrder, 12}, 0});
  EXPECT_FALSE(Verify(more).ok);
}

}  // namespace

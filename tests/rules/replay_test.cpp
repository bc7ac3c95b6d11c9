// Replays: the text is read strictly and back the same, and the verifier
// refuses every game the game itself could not have played.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "game/rules/timing.h"
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
  // The same game a second later: a second less of bonus (its 100 ms of
  // counting too), doubled.
  Replay shifted = Shifted(played, 0, 1000);
  shifted.endMs -= WaitMs(event::BonusSecond{Rules::kBonusPerSecond});
  const Verdict later = Verify(shifted);
  ASSERT_TRUE(later.ok) << later.reason;
  EXPECT_EQ(cleared.score - later.score, 2 * Rules::kBonusPerSecond);
  // The game ends the moment its bonus has counted, neither before nor after.
  EXPECT_FALSE(Verify(Shifted(played, played.actions.size(), -1)).ok);
  EXPECT_FALSE(Verify(Shifted(played, played.actions.size(), 1)).ok);
  // A cleared board is no game to leave by New game.
  Replay left = played;
  left.end = ReplayEnd::kNewGame;
  left.endMs = played.actions.back().ms + 20000;
  EXPECT_FALSE(Verify(left).ok);
  // Nothing comes after a cleared board.
  Replay more = Shifted(played, played.actions.size(), 60000);
  more.actions.push_back({played.endMs + 100, {Action::Kind::kOrder, 12}, 0});
  EXPECT_FALSE(Verify(more).ok);
}

// Games of a few clicks (groups of one or more heads, every one accepted)
// whose times are placed at the edges of what the game takes.
class TimingEdges : public testing::Test {
 protected:
  static constexpr int kGameTime = 3;
  static constexpr int64_t kOut = kGameTime * 1000;

  void SetUp() override {
    // The clicks, each on the last head left on the board, and their timing.
    Rules rules;
    Lcg random(5);
    rules.Deal(random);
    rules.SetMinimumGroup(1);
    for (int i = 0; i < 3; ++i) {
      int cell = kCells - 1;
      while (!rules.GetBoard().At(cell)) --cell;
      actions.push_back({Action::Kind::kClickColour, cell});
      timings.push_back(TimeAnimation(rules.Apply(actions.back())));
      ASSERT_GE(timings.back().lastCrackMs, 0);
    }
  }

  Replay Game(std::vector<int64_t> times, int64_t endMs, ReplayEnd end = ReplayEnd::kFinished) const {
    Replay replay;
    replay.seed = 5;
    replay.balloons = 1;
    replay.gameTime = kGameTime;
    for (size_t i = 0; i < times.size(); ++i) replay.actions.push_back({times[i], actions[i], 0});
    replay.endMs = endMs;
    replay.end = end;
    return replay;
  }
  // When the game is ready again after the first click at t.
  int64_t Ready(int64_t t) const { return t + timings[0].ms; }
  // Until then the first click's last points rise.
  int64_t Popups(int64_t t) const { return t + timings[0].lastCrackMs + kPopupMs; }

  std::vector<Action> actions;
  std::vector<AnimationTiming> timings;
};

TEST_F(TimingEdges, AnActionIsTakenFromTheFrameAfterTheAnimationUntilTheCountdownAndItsPopupsRunOut) {
  // The game's first frame to take input is the one after New game's.
  EXPECT_TRUE(Verify(Game({kFrameMs, Ready(kFrameMs) + kFrameMs}, kOut)).ok);
  EXPECT_EQ(Verify(Game({kFrameMs - 1}, kOut)).line, 5);
  const Verdict early = Verify(Game({kFrameMs, Ready(kFrameMs) + kFrameMs - 1}, kOut));
  EXPECT_EQ(early.line, 6) << early.reason;
  // The reason names the line and the first moment the game was ready.
  EXPECT_EQ(early.reason.rfind("line 6: an action during", 0), 0u) << early.reason;
  EXPECT_NE(early.reason.find("ready at " + std::to_string(Ready(kFrameMs) + kFrameMs) + " ms"), std::string::npos)
      << early.reason;
  // A replay built in memory has no lines to name.
  const Verdict unnamed = VerifyReplay(Game({kFrameMs - 1}, kOut));
  EXPECT_EQ(unnamed.reason.rfind("an action during", 0), 0u) << unnamed.reason;

  // The countdown's last moment takes a click; its end does not, unless a
  // pop-up still rises then, up to the pop-up's last moment.
  const Verdict last = Verify(Game({kOut - 1}, std::max(Ready(kOut - 1), Popups(kOut - 1) + 1)));
  EXPECT_TRUE(last.ok) << last.reason;
  const Verdict late = Verify(Game({kOut}, kOut + 5000));
  EXPECT_EQ(late.line, 5) << late.reason;
  EXPECT_NE(late.reason.find("countdown"), std::string::npos) << late.reason;
  const int64_t t = kOut - 300;
  const int64_t second = Popups(t);
  const Verdict held = Verify(Game({t, second}, second + timings[1].lastCrackMs + kPopupMs + 1));
  EXPECT_TRUE(held.ok) << held.reason;
  EXPECT_EQ(Verify(Game({t, Popups(t) + 1}, kOut + 5000)).line, 6);
  // Points gone before the countdown's end hold nothing back.
  ASSERT_LT(Popups(kFrameMs), kOut);
  EXPECT_EQ(Verify(Game({kFrameMs, kOut}, kOut + 5000)).line, 6);
}

TEST_F(TimingEdges, ACountdownGameEndsOnceItsLastAnimationAndPopupsAreOver) {
  // Points rising past the countdown hold the end until they are gone.
  const int64_t t = kOut - 300;
  const int64_t endsAt = std::max(Ready(t), Popups(t) + 1);
  for (const auto& [endMs, ok] : std::vector<std::pair<int64_t, bool>>{
           {endsAt - 1, false}, {endsAt, true}, {endsAt + kEndSlackMs, true}, {endsAt + kEndSlackMs + 1, false}}) {
    const Verdict verdict = Verify(Game({t}, endMs));
    EXPECT_EQ(verdict.ok, ok) << endMs << " " << verdict.reason;
    if (!ok) {
      EXPECT_EQ(verdict.line, 6) << verdict.reason;
    }
  }
  // An order's animation running past the pop-ups and the countdown: its end.
  Replay pushed = Game({}, 0);
  pushed.actions.push_back({kOut - 10, {Action::Kind::kOrder, 15}, 0});
  Rules rules;
  Lcg random(pushed.seed);
  rules.Deal(random);
  const AnimationTiming order = TimeAnimation(rules.Apply(pushed.actions[0].action));
  ASSERT_LT(order.lastCrackMs, 0);
  pushed.endMs = kOut - 10 + order.ms - 1;
  EXPECT_FALSE(Verify(pushed).ok);
  pushed.endMs += 1;
  EXPECT_TRUE(Verify(pushed).ok) << Verify(pushed).reason;
  // With nothing played, the countdown alone.
  EXPECT_FALSE(Verify(Game({}, kOut - 1)).ok);
  EXPECT_TRUE(Verify(Game({}, kOut)).ok);
}

TEST_F(TimingEdges, AGameLeftByNewGameScoresWhatItHadBetweenAnimationsWithSecondsLeft) {
  const int64_t t = kFrameMs;
  const Verdict left = Verify(Game({t}, Ready(t) + kFrameMs, ReplayEnd::kNewGame));
  ASSERT_TRUE(left.ok) << left.reason;
  Rules rules;
  Lcg random(5);
  rules.Deal(random);
  rules.SetMinimumGroup(1);
  rules.Apply(actions[0]);
  EXPECT_EQ(left.score, rules.Score()) << "no bonus and no doubling";
  EXPECT_FALSE(Verify(Game({t}, Ready(t) + kFrameMs - 1, ReplayEnd::kNewGame)).ok);
  EXPECT_TRUE(Verify(Game({t}, kOut - 1, ReplayEnd::kNewGame)).ok);
  const Verdict afterCountdown = Verify(Game({kOut - 500}, kOut, ReplayEnd::kNewGame));
  EXPECT_FALSE(afterCountdown.ok) << "a rising pop-up keeps the game, not its seconds";
  EXPECT_EQ(afterCountdown.line, 6) << afterCountdown.reason;
  // Left before anything was played: the first frame after New game's own.
  EXPECT_TRUE(Verify(Game({}, kFrameMs, ReplayEnd::kNewGame)).ok);
  EXPECT_FALSE(Verify(Game({}, kFrameMs - 1, ReplayEnd::kNewGame)).ok);
}

}  // namespace

namespace {

// The waits every recorded game was played with: the game shows each event
// this long, and a replay's times only verify against the same. Changing one
// would refuse the replays players already have.
TEST(Timing, EachEventIsShownForTheGamesOwnWait) {
  namespace ev = quibbleton::event;
  const quibbleton::Head head{};
  const std::vector<std::pair<quibbleton::Event, int64_t>> waits = {
      {ev::GroupFound{0, {}, 3, true}, 0},
      {ev::HeadCracked{0, 0, head, 0, 1, false, 0}, 0},    // the first head cracks at once
      {ev::HeadCracked{0, 1, head, 0, 1, false, 0}, 200},  // each next one 200 ms later
      {ev::GroupScored{3, 600, 1, 600}, 200},
      {ev::GroupScored{1, 100, 1, 100}, 200},  // a group of one, where the settings allow it
      {ev::GroupScored{0, 0, 1, 0}, 0},  // a refused group shows nothing
      {ev::HeadFell{0, 15, true}, 0},
      {ev::OrderHeard{3}, 250},
      {ev::GuyBlocked{3}, 450},
      {ev::GuyWalked{3, 46}, 150},
      {ev::HeadPushed{46, 47}, 0},
      {ev::GuyPushed{3, 46, false}, 150},
      {ev::GuyPushed{3, 46, true}, 350},  // squashed: the squish, then the cry
      {ev::GuyWalkedBack{3, 45}, 150},
      {ev::GuyHome{3}, 0},
      {ev::BonusSecond{125}, 100},
      {ev::ScoreDoubled{1000}, 0},
  };
  quibbleton::Events all;
  int64_t total = 0;
  for (const auto& [event, ms] : waits) {
    EXPECT_EQ(quibbleton::WaitMs(event), ms) << "event " << event.index();
    all.push_back(event);
    total += ms;
  }
  const quibbleton::AnimationTiming timing = quibbleton::TimeAnimation(all);
  EXPECT_EQ(timing.ms, total);
  // The points of the last crack (the third event) rise from its moment on.
  EXPECT_EQ(timing.lastCrackMs, 200);

  // A group of one cracks its only head at once: its points still rise for
  // their second and hold the countdown's end back.
  quibbleton::PlayTimeline timeline(1);
  timeline.Took(990, {ev::GroupFound{0, {}, 1, true}, ev::HeadCracked{0, 0, head, 0, 1, false, 0},
                      ev::GroupScored{1, 100, 1, 100}});
  EXPECT_FALSE(timeline.RunOut(1500));
  EXPECT_FALSE(timeline.RunOut(990 + quibbleton::kPopupMs));
  EXPECT_TRUE(timeline.RunOut(990 + quibbleton::kPopupMs + 1));
}

}  // namespace

// What a watched replay does when: its actions one a frame once their game
// time has come, New game only where it starts or follows the watched game,
// the viewer's controls as the frame clock's rate, and the files it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "game/replay_playback.h"
#include "game/replay_recorder.h"
#include "game/rules/replay_verifier.h"
#include "gx/frame_clock.h"

namespace {

using quibbleton::Action;

quibbleton::Replay TwoActions(quibbleton::ReplayEnd end) {
  quibbleton::Replay replay;
  replay.actions = {{100, {Action::Kind::kClickColour, 140}, 0}, {900, {Action::Kind::kOrder, 12}, 0}};
  replay.end = end;
  replay.endMs = 2500;
  return replay;
}

TEST(ReplayPlayback, ActionsComeOneACallOnceTheirTimeHasComeAndTheGameStopsWhereItWasLeft) {
  ReplayPlayback playback;
  playback.Watch(TwoActions(quibbleton::ReplayEnd::kNewGame));
  // Nothing before the watched game began.
  EXPECT_EQ(playback.Due(5000), nullptr);
  ASSERT_TRUE(playback.LetNewGame(false));
  EXPECT_EQ(playback.Due(99), nullptr);
  const Action* first = playback.Due(100);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->target, 140);
  // The second is due by 1000, and it waits for the next call (frame) even when both are.
  EXPECT_FALSE(playback.LeftAt(3000));  // an action is still to come
  const Action* second = playback.Due(1000);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->kind, Action::Kind::kOrder);
  EXPECT_EQ(playback.Due(100000), nullptr);
  EXPECT_FALSE(playback.LeftAt(2499));
  EXPECT_TRUE(playback.LeftAt(2500));
  EXPECT_TRUE(playback.LeftAt(2510));  // a frame may come after the moment

  // A game that ran to its end stops by itself, never here.
  playback.Watch(TwoActions(quibbleton::ReplayEnd::kFinished));
  playback.LetNewGame(false);
  while (playback.Due(3000)) {
  }
  EXPECT_FALSE(playback.LeftAt(3000));
}

TEST(ReplayPlayback, PausesArePassedOverAndAGameEndedForWantOfMovesStopsWhereItEnded) {
  ReplayPlayback playback;
  quibbleton::Replay replay = TwoActions(quibbleton::ReplayEnd::kNoMoves);
  replay.pauses = {{100, 0, 0}, {100, 1, 0}, {2500, 2, 0}};
  playback.Watch(replay);
  playback.LetNewGame(false);
  const Action* first = playback.Due(100);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->target, 140);
  EXPECT_EQ(playback.Due(899), nullptr);
  ASSERT_NE(playback.Due(900), nullptr);
  EXPECT_FALSE(playback.LeftAt(2499));
  EXPECT_TRUE(playback.LeftAt(2500));
}

TEST(ReplayRecorder, WritesPausesInOrderAndEndsForWantOfMovesOnlyWhereTheGameMay) {
  using quibbleton::Head;
  quibbleton::Rules rules;
  for (int cell = 0; cell < quibbleton::kCells; ++cell) rules.Place(cell, std::nullopt);
  // Two groups of two at the bottom left; the rest is empty.
  const int bottom = (quibbleton::kRows - 1) * quibbleton::kColumns;
  rules.Place(bottom, Head{0, 0});
  rules.Place(bottom + 1, Head{0, 1});
  rules.Place(bottom + 2, Head{1, 2});
  rules.Place(bottom + 3, Head{1, 3});
  for (int guy = 0; guy < quibbleton::kGuys; ++guy) rules.TakeOff(guy);

  ReplayRecorder recorder;
  recorder.Start(7, 2, 3);
  recorder.NotePause(0);
  const Action click{Action::Kind::kClickColour, bottom};
  recorder.Note(click, rules.Apply(click), 10);
  recorder.NotePause(5);  // a clock read before the click's: kept after it, at its ms
  recorder.NotePause(400);
  // One group is left: no early end; with none, from the frame after the animation.
  const int64_t ready = recorder.ReadyAt();
  EXPECT_FALSE(recorder.TakesNoMovesEndAt(ready + 10, rules));
  const Action last{Action::Kind::kClickColour, bottom + 2};
  recorder.Note(last, rules.Apply(last), ready + 10);
  rules.Place(bottom, Head{4, 4});  // one head with nothing to join
  const int64_t end = recorder.ReadyAt() + 10;
  EXPECT_FALSE(recorder.TakesNoMovesEndAt(end - 1, rules));
  EXPECT_FALSE(recorder.TakesNoMovesEndAt(3000, rules)) << "the countdown has run out";
  EXPECT_TRUE(recorder.TakesNoMovesEndAt(end, rules));
  recorder.NotePause(end + 70);  // during the end's frame on a slow machine
  recorder.End(end, quibbleton::ReplayEnd::kNoMoves);
  recorder.NotePause(end + 100);  // after the end: no longer recording

  const quibbleton::ReplayParse parsed = quibbleton::ParseReplay(recorder.Take());
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.replay.end, quibbleton::ReplayEnd::kNoMoves);
  ASSERT_EQ(parsed.replay.pauses.size(), 4u);
  EXPECT_EQ(parsed.replay.pauses[1].ms, 10);
  EXPECT_EQ(parsed.replay.pauses[1].after, 1u);
  EXPECT_EQ(parsed.replay.pauses[2].ms, 400);
  EXPECT_EQ(parsed.replay.pauses[3].ms, end);

  // Past their limit, pauses are dropped and the game still recorded.
  recorder.Start(7, 2, 3);
  for (int i = 0; i <= quibbleton::kMaxReplayPauses; ++i) recorder.NotePause(i);
  recorder.End(3000);
  const quibbleton::ReplayParse many = quibbleton::ParseReplay(recorder.Take());
  ASSERT_TRUE(many.ok) << many.error;
  EXPECT_EQ(many.replay.pauses.size(), static_cast<size_t>(quibbleton::kMaxReplayPauses));
  EXPECT_TRUE(quibbleton::VerifyReplay(many.replay).ok);
}

TEST(ReplayPlayback, NewGameStartsTheWatchedGameThenWaitsForItsEndAndThenPlaysAtTheNormalPace) {
  ReplayPlayback playback;
  EXPECT_TRUE(playback.LetNewGame(true));  // not watching: New game is the player's as ever
  playback.Watch(TwoActions(quibbleton::ReplayEnd::kFinished));
  EXPECT_TRUE(playback.Ready());
  EXPECT_TRUE(playback.LetNewGame(false));
  EXPECT_FALSE(playback.Ready());
  playback.Key('f');
  EXPECT_EQ(ClockRate(), 2);
  EXPECT_FALSE(playback.LetNewGame(true));
  EXPECT_TRUE(playback.Watching());
  EXPECT_EQ(ClockRate(), 2);
  // Over: the viewer's own game, at the game's own pace.
  EXPECT_TRUE(playback.LetNewGame(false));
  EXPECT_FALSE(playback.Watching());
  EXPECT_EQ(ClockRate(), 1);
}

TEST(ReplayPlayback, TheControlsSetTheClocksRate) {
  ReplayPlayback playback;
  playback.Watch(TwoActions(quibbleton::ReplayEnd::kFinished));
  playback.LetNewGame(false);
  EXPECT_EQ(ClockRate(), 1);
  // The first press on the board pauses, the next resumes.
  playback.Pointer(true, 1);
  EXPECT_TRUE(playback.Paused());
  playback.Pointer(true, 0);
  playback.Pointer(true, 1);
  playback.Pointer(true, 0);
  EXPECT_FALSE(playback.Paused());
  for (char other : {'n', 'z', 'x', 'h', '\0'}) playback.Key(other);
  EXPECT_EQ(ClockRate(), 1);
  playback.Key('p');
  EXPECT_EQ(ClockRate(), 0);
  playback.Key('F');  // double speed chosen while paused shows once resumed
  EXPECT_EQ(ClockRate(), 0);
  playback.Key(' ');
  EXPECT_EQ(ClockRate(), 2);
  playback.Key('f');
  EXPECT_EQ(ClockRate(), 1);
  EXPECT_NE(playback.StatusLine().find("[speed x1]"), std::string::npos);

  // A press on the board pauses; held, or off the board, it does nothing more.
  playback.Pointer(false, 1);
  playback.Pointer(false, 0);
  EXPECT_FALSE(playback.Paused());
  playback.Pointer(true, 1);
  EXPECT_TRUE(playback.Paused());
  EXPECT_NE(playback.StatusLine().find("[paused]"), std::string::npos);
  playback.Pointer(true, 1);
  playback.Pointer(true, 3);  // the other button pressed as well: a new press
  EXPECT_FALSE(playback.Paused());
  playback.Pointer(true, 0);
  playback.Pointer(true, 2);
  EXPECT_TRUE(playback.Paused());
  playback.Key('P');
  EXPECT_EQ(ClockRate(), 1);
  // Watching a new replay starts at the normal pace.
  playback.Key('f');
  playback.Watch(TwoActions(quibbleton::ReplayEnd::kFinished));
  EXPECT_EQ(ClockRate(), 1);
  SetClockRate(1);
}

TEST(ReplayPlayback, LoadRefusesWhatIsNoReplayInOneLine) {
  ReplayPlayback playback;
  EXPECT_NE(playback.Load("/nonexistent/replay.txt").find("cannot be read"), std::string::npos);
  const std::string path = ::testing::TempDir() + "replay_playback_test.txt";
  std::ofstream(path, std::ios::binary) << "quibbleton-replay 1\nseed 7\nballoons 2\ngametime 0x1\n";
  const std::string error = playback.Load(path);
  EXPECT_NE(error.find("not a replay: line 4"), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  EXPECT_FALSE(playback.Watching());
  std::ofstream(path, std::ios::binary) << quibbleton::FormatReplay(TwoActions(quibbleton::ReplayEnd::kNewGame));
  EXPECT_EQ(playback.Load(path), "");
  EXPECT_TRUE(playback.Ready());
  EXPECT_EQ(playback.Played().actions.size(), 2u);

  // Exactly the longest replay reads; a byte more, and it is refused, not cut.
  std::string longest = "quibbleton-replay 1\nseed 7\nballoons 2\ngametime 300\n";
  const std::string end = "9000000 end\n";
  const size_t line = std::string("100000 push 1\n").size();
  const size_t lines = (quibbleton::kMaxReplayBytes - longest.size() - end.size()) / line;
  // The last few take a digit more, to fill the size exactly.
  const size_t longer = quibbleton::kMaxReplayBytes - longest.size() - end.size() - lines * line;
  for (size_t i = 0; i < lines; ++i)
    longest += std::to_string((i + longer >= lines ? 1000000 : 100000) + i) + " push 1\n";
  longest += end;
  ASSERT_EQ(longest.size(), quibbleton::kMaxReplayBytes);
  std::ofstream(path, std::ios::binary | std::ios::trunc) << longest;
  EXPECT_EQ(playback.Load(path), "");
  std::ofstream(path, std::ios::binary | std::ios::trunc) << longest << '\n';
  EXPECT_NE(playback.Load(path).find("longer than 64 KB"), std::string::npos);
  std::remove(path.c_str());
}

}  // namespace

// The frame update's states, the timer dots, the pop-ups and the two ends of
// a game with the high-score entry.
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "game_test_support.h"
#include "platform/device/clock.h"
#include "platform/device/input.h"
#include "gx/mouse_cursor.h"
#include "shell/app.h"
#include "widgets/button.h"
#include "gx/surface.h"

namespace {

using gametest::CountSound;
using gametest::GameFixture;

IDirectDrawSurface* Back() { return redrawManager.GetBackBuffer(); }

// One pass of the program's frame loop.
int Frame() {
  FramePace(100);
  const int result = game.Update();
  gameScreen.Flip();
  return result;
}

uint16_t BackPixel(int x, int y) {
  IDirectDrawSurface* back = Back();
  return reinterpret_cast<const uint16_t*>(back->Pixels() + static_cast<size_t>(y) * back->Pitch())[x];
}

// The centre of dot number index of the timer grid (9 x 9 dots at 4, 202).
uint16_t DotCentre(int index) { return BackPixel(4 + (index % 10) * 9 + 4, 202 + (index / 10) * 9 + 4); }

void StartPlaying(int seconds) {
  game.SetState(Game::kPlaying);
  SetSecondsLeft(seconds);
  StopCountdown();
}

TEST_F(GameFixture, TimerDotsShowTheShareOfTimeLeft) {
  Fill(Back(), 0);
  SetSecondsLeft(299);
  game.DrawFrame(Back());
  EXPECT_EQ(game.Dots()->Count(), 149);
  EXPECT_NE(DotCentre(148), 0);
  EXPECT_EQ(DotCentre(149), 0);
  EXPECT_NE(DotCentre(0), 0);

  SetSecondsLeft(0);
  Fill(Back(), 0);
  game.DrawFrame(Back());
  EXPECT_EQ(game.Dots()->Count(), 0);
  EXPECT_EQ(DotCentre(0), 0);
}

TEST_F(GameFixture, AGameTimeOfZeroOrLessShowsNoDotsAndEndsAtOnce) {
  for (int gametime : {0, -5}) {
    gametest::WriteSetup(2, gametime);
    game.NewGame();
    game.DrawFrame(Back());
    EXPECT_EQ(game.Dots()->Count(), 0);
    game.SetState(Game::kPlaying);
    StartCountdown();
    Frame();
    EXPECT_EQ(game.GetState(), Game::kOutOfTime) << gametime;
    const int start = GetTicks();
    Frame();  // the game-over picture stays its two seconds
    EXPECT_EQ(game.GetState(), Game::kIdle);
    EXPECT_GE(TicksSince(start), 2000);
  }
}

TEST_F(GameFixture, AGameTimeOverADayIsReadAsADayAndSaid) {
  for (const char* gametime : {"999999999", "99999999999999999999"}) {
    std::ofstream("setup.ini") << "[default]\nballoons=2\ngametime=" << gametime << "\n";
    testing::internal::CaptureStderr();
    game.NewGame();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(game.GetGameTime(), 86400) << gametime;
    EXPECT_EQ(GetSecondsLeft(), 86400) << gametime;
    EXPECT_NE(said.find("gametime"), std::string::npos) << said;
  }
  gametest::WriteSetup(2, 86400);
  testing::internal::CaptureStderr();
  game.NewGame();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(game.GetGameTime(), 86400);
}

TEST_F(GameFixture, ScoresStopAtTheLargestIntInsteadOfWrapping) {
  ClearBoard();
  game.PlaceBlock(Cell(7, 9), 1, 1);
  game.SetMinimumGroup(1);
  StartPlaying(3);
  game.SetScore(INT32_MAX - 150);
  game.RemoveGroup(Cell(7, 9), 0);
  EXPECT_EQ(game.GetScore(), INT32_MAX) << "the group's points saturate";
  Frame();  // cleared: bonus and doubling
  EXPECT_EQ(game.GetState(), Game::kCleared);
  EXPECT_EQ(game.GetScore(), INT32_MAX);
}

// Every digit has its glyph in the HUD, right-aligned at the score's edge.
TEST_F(GameFixture, TheScoreShowsEachDigitRightAligned) {
  Sprite* font = gameScreen.ScoreFont();
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(font->FrameCount(), 10);
  const int glyph = font->width / 10;
  IDirectDrawSurface* target = redrawManager.GetTarget();
  for (int digit = 0; digit <= 9; ++digit) {
    game.SetScore(digit * 11);  // two of the digit: "0" is one
    game.DrawHud();
    const int count = digit == 0 ? 1 : 2;
    IDirectDrawSurface* cell = font->frames[static_cast<size_t>(digit)];
    int w = 0, h = 0;
    GetSurfaceSize(cell, &w, &h);
    for (int k = 0; k < count; ++k)
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int ink = ReadPixel(cell, x, y);
          if (ink == PackColor(cell, 0, 0, 255)) continue;
          ASSERT_EQ(ReadPixel(target, 88 - glyph * (count - k) + x, 116 + y), ink) << digit << " at " << x << "," << y;
        }
  }
}

// Before a game the New game button blinks: its face flips every half second
// while the pointer is elsewhere.
TEST_F(GameFixture, NewGameBlinksEveryHalfSecondWhileIdle) {
  mouseCursor.SetPosition(400, 300);
  Button* button = gameScreen.GetButtons()->Find("newgame");
  ASSERT_NE(button, nullptr);
  std::vector<int> faces, flipTicks;
  int last = button->imageBase;
  const int start = GetTicks();
  while (TicksSince(start) < 2600) {
    Frame();
    if (button->imageBase != last) {
      faces.push_back(button->imageBase);
      flipTicks.push_back(GetTicks());
    }
    last = button->imageBase;
  }
  ASSERT_GE(faces.size(), 4u);
  for (size_t i = 1; i < faces.size(); ++i) {
    EXPECT_EQ(faces[i], 1 - faces[i - 1]);
    const int interval = flipTicks[i] - flipTicks[i - 1];
    EXPECT_GE(interval, 500) << i;
    EXPECT_LE(interval, 520) << i;
  }
  for (int face : faces) EXPECT_TRUE(face == 0 || face == 1);
}

TEST_F(GameFixture, PopupsRiseFiftyPixelsASecondAndStopAtTheTop) {
  ScorePopup popup;
  popup.y = 100.0f;
  popup.vy = -50.0f;
  frameRate = 5.0f;  // too slow to trust: taken as 60
  popup.Move();
  EXPECT_FLOAT_EQ(frameRate, 60.0f);
  EXPECT_FLOAT_EQ(popup.y, 100.0f - 50.0f / 60.0f);
  frameRate = 100.0f;
  popup.y = 10.2f;
  popup.Move();
  EXPECT_FLOAT_EQ(popup.y, 10.0f);
  EXPECT_FLOAT_EQ(popup.vy, 0.0f);
}

TEST_F(GameFixture, AClearedBoardAddsTheTimeBonusDoublesAndEntersTheTable) {
  ClearBoard();
  game.PlaceBlock(Cell(7, 9), 1, 1);
  game.SetMinimumGroup(1);
  StartPlaying(10);
  game.RemoveGroup(Cell(7, 9), 0);
  EXPECT_EQ(game.GetScore(), 200);
  Frame();
  EXPECT_EQ(game.GetState(), Game::kCleared);
  EXPECT_EQ(game.GetScore(), (200 + 125 * 10) * 2);
  EXPECT_EQ(GetSecondsLeft(), 0);
  EXPECT_EQ(CountSound("click"), 10);

  Frame();
  ASSERT_NE(game.CongratsSprite(), nullptr);
  EXPECT_EQ(CountSound("cheer"), 1);
  Sprite* guy = spriteList.Find("guy7");
  ASSERT_NE(guy, nullptr);
  EXPECT_EQ(guy->playMode, kPlayLoop);
  EXPECT_EQ(guy->rangeStart, 10);
  EXPECT_EQ(guy->rangeEnd, 12);

  const int shown = GetTicks();
  while (game.GetState() == Game::kCleared && TicksSince(shown) < 8000) Frame();
  EXPECT_EQ(game.GetState(), Game::kIdle);
  EXPECT_GE(TicksSince(shown), 5000);
  EXPECT_EQ(game.CongratsSprite(), nullptr);
  EXPECT_EQ(CountSound("cheer"), 1);
  ASSERT_NE(spriteList.Find("guy7"), nullptr);
  EXPECT_EQ(spriteList.Find("guy7")->currentFrame, 0);

  HighScoreTable saved;
  saved.Resize(20);
  ASSERT_EQ(saved.Load("hiscore.dat"), 1);
  EXPECT_STREQ(saved.Entry(0)->name, "Ann:1 Road:ann@example.org:N");
  EXPECT_EQ(saved.Entry(0)->score, 2900);
}

TEST_F(GameFixture, ClearingWithNoTimeLeftStillDoubles) {
  ClearBoard();
  game.PlaceBlock(Cell(0, 9), 1, 1);
  game.SetMinimumGroup(1);
  StartPlaying(0);
  game.RemoveGroup(Cell(0, 9), 0);
  Frame();
  EXPECT_EQ(game.GetState(), Game::kCleared);
  EXPECT_EQ(game.GetScore(), 400);
  EXPECT_EQ(CountSound("click"), 0);
}

TEST_F(GameFixture, AHeldButtonEndsTheCongratulationsOnTheirFirstFrame) {
  game.SetState(Game::kCleared);
  game.SetScore(0);
  EXPECT_EQ(game.Congratulate(1), 1);
  EXPECT_EQ(game.GetState(), Game::kIdle);
  EXPECT_EQ(game.CongratsSprite(), nullptr);
  EXPECT_EQ(CountSound("cheer"), 1);
}

TEST_F(GameFixture, NewGameDuringTheCongratulationsLetsTheNextClearingCheer) {
  game.SetState(Game::kCleared);
  EXPECT_EQ(game.Congratulate(0), 1);
  ASSERT_NE(game.CongratsSprite(), nullptr);
  game.NewGame();
  EXPECT_EQ(game.CongratsSprite(), nullptr);
  game.SetState(Game::kCleared);
  EXPECT_EQ(game.Congratulate(0), 1);
  EXPECT_EQ(CountSound("cheer"), 2);
  EXPECT_EQ(game.Congratulate(1), 1);
}

TEST_F(GameFixture, OnlyAScoreAboveTheLastEntryGetsIn) {
  // A fresh table takes any positive score, never 0.
  EXPECT_EQ(game.EnterHighScore(0), 1);
  EXPECT_FALSE(gametest::fs::exists("hiscore.dat"));
  // A score goes into the table as the file holds it.
  for (int i = 0; i < 20; ++i) game.HighScores().Insert("someone", 1000);
  ASSERT_EQ(game.HighScores().Save("hiscore.dat"), 1);
  // An hour back, so that a save now shows even where file times count whole seconds (Windows' C runtime).
  const auto saved = gametest::fs::last_write_time("hiscore.dat") - std::chrono::hours(1);
  gametest::fs::last_write_time("hiscore.dat", saved);
  EXPECT_EQ(game.EnterHighScore(1000), 1);
  EXPECT_EQ(gametest::fs::last_write_time("hiscore.dat"), saved) << "a score that did not get in was saved";
  const int start = GetTicks();
  EXPECT_EQ(game.EnterHighScore(1001), 1);
  EXPECT_GE(TicksSince(start), 1000);  // the hall-of-fame notice closes by itself
  EXPECT_NE(gametest::fs::last_write_time("hiscore.dat"), saved);
  EXPECT_EQ(game.HighScores().Entry(0)->score, 1001);
  EXPECT_EQ(game.HighScores().Entry(19)->score, 1000);
  // The HUD's best score is the table's first entry.
  game.NewGame();
  EXPECT_EQ(game.HighScores().Entry(0)->score, 1001);
}

TEST_F(GameFixture, AScoreThatCannotBeSavedIsReportedAndKeptForTheRun) {
  gametest::fs::create_directory("hiscore.dat");  // nothing can be written under that name
  testing::internal::CaptureStderr();
  EXPECT_EQ(game.EnterHighScore(500), 1);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("could not be saved"), std::string::npos) << said;
  EXPECT_NE(said.find(std::strerror(EISDIR)), std::string::npos) << said;
  game.NewGame();
  EXPECT_EQ(game.HighScores().Entry(0)->score, 500) << "not read back from the file";

  // Once the file can be written again, the next entry saves both.
  gametest::fs::remove("hiscore.dat");
  EXPECT_EQ(game.EnterHighScore(600), 1);
  HighScoreTable saved;
  saved.Resize(20);
  ASSERT_EQ(saved.Load("hiscore.dat"), 1);
  EXPECT_EQ(saved.Entry(0)->score, 600);
  EXPECT_EQ(saved.Entry(1)->score, 500);
}

TEST_F(GameFixture, LeavingFreesTheSoundsAndTheScreenCanBeEnteredAgain) {
  EXPECT_EQ(soundRegistry.Count(), 12);
  gameScreen.Leave();
  EXPECT_EQ(soundRegistry.Count(), 0);
  EXPECT_EQ(soundRegistry.Play("crack", 0xFFFF, 0), nullptr);
  gameScreen.Enter(GXGetLPDD(), Back());
  EXPECT_EQ(soundRegistry.Count(), 12);
  EXPECT_EQ(game.BlockCount(), 150);
  ASSERT_NE(gameScreen.GetButtons(), nullptr);
  EXPECT_EQ(gameScreen.GetButtons()->Count(), 24);
  EXPECT_NE(gameScreen.GetButtons()->Find("Air9l"), nullptr);
}

}  // namespace

// The game's buttons and board clicks through the mouse as the device gives
// it: pointer moves and button events from a script, read by each frame.
class MouseInput : public GameFixture {
 protected:
  void SetUp() override {
    GameFixture::SetUp();
    GXInitMouse();
    GXAcquireMouse(1);
  }
  void TearDown() override {
    platform::SetScript(platform::Script{});
    GXAcquireMouse(0);
  }
  // Script lines ("press left", ...) at clock times relative to now, with
  // the moves given before.
  void Buttons(const std::vector<std::pair<int, std::string>>& events) {
    std::vector<std::pair<int, std::string>> all = moves_;
    all.insert(all.end(), events.begin(), events.end());
    moves_.clear();
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text;
    for (const auto& [at, command] : all) text += std::to_string(platform::NowMs() + at) + " " + command + "\n";
    platform::Script script;
    std::string error;
    ASSERT_TRUE(platform::ParseScript(text, "", &script, &error)) << error;
    platform::SetScript(script);
  }
  // The pointer moves to each place at its time (relative to now), played
  // with the next Buttons.
  void Moves(const std::vector<std::tuple<int, int, int>>& moves) {
    for (const auto& [at, x, y] : moves) moves_.push_back({at, "move " + std::to_string(x) + " " + std::to_string(y)});
  }
  static void FramesFor(int ms) {
    const int start = GetTicks();
    while (TicksSince(start) < ms) Frame();
  }
  std::vector<std::pair<int, std::string>> moves_;
};

// A game of one second whose first click cracks heads: their points rise
// past the countdown, and the game ends in the frame after the last is gone.
TEST_F(MouseInput, PopupsStillOnScreenPostponeTheEndByTime) {
  gametest::WriteSetup(1, 1);
  Moves({{0, 50, 375}, {100, 137 + 20, 10 + 9 * 55 + 27}});
  Buttons({{20, "press left"}, {60, "release left"}, {120, "press left"}, {130, "release left"}});
  FramesFor(140);  // New game, then the click a frame or two after it
  ASSERT_EQ(game.GetState(), Game::kPlaying);
  ASSERT_GT(game.PopupCount(), 0);
  int lastExpiry = game.Popups().front()->expiry;
  for (const ScorePopup* p : game.Popups()) lastExpiry = std::max(lastExpiry, p->expiry);

  int frames = 0, framesAtZero = 0;
  while (game.GetState() == Game::kPlaying && frames < 300) {
    framesAtZero += GetSecondsLeft() == 0;
    Frame();
    ++frames;
  }
  EXPECT_GT(framesAtZero, 10) << "the countdown ran out while the points rose";
  EXPECT_EQ(game.GetState(), Game::kOutOfTime);
  // The frame after the last one that drew them (a frame presents on the next tick).
  EXPECT_GT(TicksSince(lastExpiry), 0);
  EXPECT_LE(TicksSince(lastExpiry), 20);
  EXPECT_EQ(game.PopupCount(), 0);
}

TEST_F(MouseInput, NewGameOffersTheScoreOnlyWhileSecondsAreLeft) {
  Moves({{0, 50, 375}});
  game.SetScore(700);
  SetSecondsLeft(0);  // a finished game: its score went in when it ended
  Buttons({{20, "press left"}, {60, "release left"}});
  FramesFor(300);
  EXPECT_EQ(game.GetState(), Game::kPlaying);
  EXPECT_EQ(game.HighScores().Entry(0)->score, 0);

  game.SetScore(800);
  Buttons({{20, "press left"}, {60, "release left"}});
  FramesFor(1500);  // the hall-of-fame notice takes a second
  EXPECT_EQ(game.HighScores().Entry(0)->score, 800);
  EXPECT_EQ(game.HighScores().Entry(1)->score, 0);
}

// The board dealt when the screen opens has all its seconds but was never
// played: New game there offers its 0 only to retry scores not saved yet.
TEST_F(MouseInput, NewGameOnTheUnplayedBoardOffersNothingButRetriesUnsavedScores) {
  Moves({{0, 50, 375}});
  // A table edited by hand down to -5 at its end, which a 0 would enter.
  for (int i = 0; i < 20; ++i) game.HighScores().Insert("someone", 1000);
  ASSERT_EQ(game.HighScores().Save("hiscore.dat"), 1);
  {
    std::fstream file("hiscore.dat", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(-4, std::ios::end);  // the last entry's score, little-endian
    file.write("\xfb\xff\xff\xff", 4);
  }
  const auto written = gametest::fs::last_write_time("hiscore.dat");
  ASSERT_EQ(game.GetState(), Game::kIdle);
  Buttons({{20, "press left"}, {60, "release left"}});
  FramesFor(300);
  EXPECT_EQ(game.GetState(), Game::kPlaying);
  EXPECT_EQ(gametest::fs::last_write_time("hiscore.dat"), written);
  EXPECT_EQ(game.HighScores().Entry(19)->score, -5);

  gametest::fs::remove("hiscore.dat");
  gametest::fs::create_directory("hiscore.dat");  // the next save fails
  testing::internal::CaptureStderr();
  EXPECT_EQ(game.EnterHighScore(500), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not be saved"), std::string::npos);
  game.NewGame();
  gametest::fs::remove("hiscore.dat");
  Buttons({{20, "press left"}, {60, "release left"}});
  FramesFor(300);
  HighScoreTable saved;
  saved.Resize(20);
  ASSERT_EQ(saved.Load("hiscore.dat"), 1) << "the unsaved score was not retried";
  EXPECT_EQ(saved.Entry(0)->score, 500);
}

TEST_F(MouseInput, AHeldButtonActsOnceAndAHeldLeftMakesARightPressAColourClick) {
  Moves({{0, 50, 375}});
  Buttons({{20, "press left"}, {700, "release left"}});
  FramesFor(900);
  EXPECT_EQ(CountSound("reveal"), 1) << "one new game for one press, however long";

  ClearBoard();
  game.PlaceBlock(Cell(0, 9), 1, 2);
  game.PlaceBlock(Cell(1, 9), 1, 3);  // same colour, other face
  game.SetMinimumGroup(2);
  const int x = 137 + 20, y = 10 + 9 * 55 + 27;
  // Left pressed on an empty cell, then right pressed on a head while left is
  // still down; the releases happen off the board.
  Moves({{0, 700, 30}, {100, x, y}, {170, 20, 20}});
  Buttons({{20, "press left"}, {150, "press right"}, {200, "release right"}, {250, "release left"}});
  FramesFor(1500);
  EXPECT_EQ(game.At(Cell(0, 9)), nullptr) << "the colour group went";
  EXPECT_EQ(game.At(Cell(1, 9)), nullptr);
}

// The board takes no click while its heads crack: a tap then is dropped,
// though it differs from the click that started the crack; one after counts.
TEST_F(MouseInput, ATapWhileHeadsCrackIsDroppedAndOneAfterItCounts) {
  ClearBoard();
  game.SetMinimumGroup(2);
  game.PlaceBlock(Cell(0, 9), 1, 2);
  game.PlaceBlock(Cell(1, 9), 3, 2);  // one face: a right click's group
  game.PlaceBlock(Cell(5, 9), 4, 0);
  game.PlaceBlock(Cell(6, 9), 4, 1);  // one colour: a left click's group
  StartPlaying(300);
  const int y = 10 + 9 * 55 + 27;
  Moves({{0, 137 + 20, y}, {100, 137 + 5 * 41 + 20, y}});
  Buttons({{20, "press right"}, {30, "release right"}, {150, "press left"}, {160, "release left"},
           {900, "press left"}, {910, "release left"}});
  FramesFor(800);
  EXPECT_EQ(game.At(Cell(0, 9)), nullptr);
  EXPECT_NE(game.At(Cell(5, 9)), nullptr) << "the tap while the heads cracked was taken";
  FramesFor(400);
  EXPECT_EQ(game.At(Cell(5, 9)), nullptr);
}

TEST_F(MouseInput, HelpWhileIdleStartsTheCountdown) {
  ASSERT_EQ(game.GetState(), Game::kIdle);
  SetSecondsLeft(300);
  StopCountdown();
  Moves({{0, 50, 431}, {200, 400, 300}});
  Buttons({{20, "press left"}, {60, "release left"}, {300, "press left"}, {340, "release left"}});
  FramesFor(600);
  FramesFor(2000);
  EXPECT_LE(GetSecondsLeft(), 298) << "the countdown runs after Help, though no game was running";
}

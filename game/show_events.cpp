// The rules' events as the player sees and hears them: every sound, sprite
// and wait of cracking a group, falling, a guy's push and the time bonus, in
// the order the events come. The waits block (see Wait) and are the rules'
// own timing (quibbleton::WaitMs), which the replay verifier checks games by.
#include <cstdio>

#include "game/game.h"
#include "game/game_screen.h"
#include "game/rules/timing.h"
#include "gx/frame_clock.h"
#include "widgets/sprite.h"

namespace {

// The guy's poses on his sheet.
constexpr int kStanding = 0;
constexpr int kBlocked = 9;
constexpr int kSquashed = 13;

// Walking in and pushing alternate 4 and 5, walking back 6 and 7.
void NextPose(Sprite* guy, int a, int b) { guy->SetCurrentFrame(guy->currentFrame == a ? b : a); }

}  // namespace

void Game::Show(const quibbleton::Events& events) {
  namespace ev = quibbleton::event;
  using quibbleton::WaitMs;
  // A push puts its guy back where he stood.
  float guyHomeX = 0.0f;
  // The group's sum times its multiplier rises from its last head.
  float lastHeadX = 0.0f, lastHeadY = 0.0f;
  int lastPopupExpiry = 0;
  struct Showing {
    bool& flag;
    explicit Showing(bool& f) : flag(f) { flag = true; }
    ~Showing() { flag = false; }
  } showingNow{showing};
  const auto placeGuy = [this](int guy, int cell) -> Sprite* {
    Sprite* sprite = GuySprite(guy);
    if (sprite) CellPosition(cell, &sprite->x, &sprite->y);
    return sprite;
  };
  const quibbleton::Overloaded show{
      [&](const ev::GroupFound& e) {
        multiplier = 1;
        groupPoints = 0;
        if (!e.accepted) PlaySound("negative");
      },
      [&](const ev::HeadCracked& e) {
        Block* block = At(e.cell);
        Wait(WaitMs(e));
        PlaySound("crack");
        if (Sprite* crumble = screen.CrumbleTemplate(e.head.colour * 5 + e.head.face)) {
          crumble->x = block->x;
          crumble->y = block->y;
          crumble->SetFrameDelay(100);
          crumble->SetAnimating(1);
          spriteList.Add(*crumble);
        }
        for (int k = 0; k < e.twinsCounted; ++k) {
          ++multiplier;
          PlaySound("bonus");
        }
        if (e.showsMultiplier)
          AddMultiplierPopup(*block);
        else
          AddPointsPopup(*block, e.index);
        AddScore(e.points);
        groupPoints += (e.index + 1) * 100;
        lastHeadX = block->x;
        lastHeadY = block->y;
        lastPopupExpiry = popups.back()->expiry;
        board[static_cast<size_t>(e.cell)] = nullptr;
        delete block;
      },
      [&](const ev::GroupScored& e) {
        Wait(WaitMs(e));
        AddScore(e.points);
        groupPoints += e.points;
        AddGroupPopup(lastHeadX, lastHeadY, e.points, lastPopupExpiry);
      },
      [&](const ev::HeadFell& e) {
        if (e.first) PlaySound("blockhit");
        MoveBlock(e.from, e.to);
      },
      [&](const ev::OrderHeard& e) {
        if (const Sprite* guy = GuySprite(e.guy)) guyHomeX = static_cast<float>(static_cast<int>(guy->x));
        PlaySound("yessir");
        Wait(WaitMs(e));
      },
      [&](const ev::GuyBlocked& e) {
        if (Sprite* guy = GuySprite(e.guy)) guy->SetCurrentFrame(kBlocked);
        Wait(WaitMs(e));
      },
      [&](const ev::GuyWalked& e) {
        if (Sprite* guy = placeGuy(e.guy, e.cell)) NextPose(guy, 4, 5);
        Wait(WaitMs(e));
      },
      [&](const ev::HeadPushed& e) {
        PlaySound("slide");
        MoveBlock(e.from, e.to);
      },
      [&](const ev::GuyPushed& e) {
        Sprite* guy = placeGuy(e.guy, e.cell);
        if (guy) NextPose(guy, 4, 5);
        if (!e.squashed) {
          Wait(WaitMs(e));
          return;
        }
        if (guy) guy->SetCurrentFrame(kSquashed);
        PlaySound("squish");
        Wait(quibbleton::kSquishMs);
        PlaySound("ahh");
        Wait(WaitMs(e) - quibbleton::kSquishMs);
        char name[sizeof guy->name];
        std::snprintf(name, sizeof name, "%s", guy ? guy->name : "");
        if (guy) spriteList.Remove(name);
      },
      [&](const ev::GuyWalkedBack& e) {
        if (Sprite* guy = placeGuy(e.guy, e.cell)) NextPose(guy, 6, 7);
        Wait(WaitMs(e));
      },
      [&](const ev::GuyHome& e) {
        if (Sprite* guy = GuySprite(e.guy)) {
          guy->x = guyHomeX;
          guy->SetCurrentFrame(kStanding);
        }
      },
      [&](const ev::BonusSecond& e) {
        SetSecondsLeft(GetSecondsLeft() - 1);
        AddScore(e.points);
        Wait(WaitMs(e));
        PlaySound("click");
      },
      // The score on screen doubles whatever it is.
      [&](const ev::ScoreDoubled&) { AddScore(score); },
  };
  for (const quibbleton::Event& e : events) std::visit(show, e);
}

// The figures a moderator reads beside a verified game, and where they read
// them: how often a game's actions were the greedy ones, and its fastest
// reactions, kept with the replay and listed by "admin list-recent".
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "server/admin.h"
#include "server/fair_play.h"
#include "server/service.h"
#include "server/storage.h"

namespace {

using quibbleton::Action;
using quibbleton::Replay;

TEST(FairPlay, OrdersWhileAGroupIsOpenAreNotGreedyAndAnOrderWithNoneIs) {
  // Only orders, on a fresh deal full of groups: none was greedy.
  Replay pushes;
  pushes.seed = 5;
  int64_t at = 100;
  for (int guy = 10; guy < 16; ++guy) {
    pushes.actions.push_back({at, {Action::Kind::kOrder, guy}, 0});
    at += 3000;
  }
  const score::FairPlay orders = score::MeasureFairPlay(pushes);
  EXPECT_EQ(orders.actions, 6);
  EXPECT_EQ(orders.greedy, 0);
  // With no group the rules accept, an order is as good as any action.
  pushes.balloons = quibbleton::kMaxReplayBalloons;
  EXPECT_EQ(score::MeasureFairPlay(pushes).greedy, 6);
}

TEST(FairPlay, TheBestGroupIsGreedyAndASmallerOneIsNot) {
  // The bot takes the first group from the bottom up, whatever it is worth:
  // some of its clicks are the best ones open, not all.
  const Replay bot = quibbleton::PlayBotGame(4242, 2, 300, 200);
  const score::FairPlay figures = score::MeasureFairPlay(bot);
  EXPECT_EQ(figures.actions, static_cast<int>(bot.actions.size()));
  EXPECT_GT(figures.greedy, 0);
  EXPECT_LT(figures.greedy, figures.actions);
}

TEST(FairPlay, ReactionsAreTheGapsAfterEachAnimation) {
  // The bot acts one frame after each animation ends: every reaction is 10 ms.
  Replay bot = quibbleton::PlayBotGame(77, 2, 300, 50);
  ASSERT_EQ(bot.actions.size(), 50u);
  score::FairPlay figures = score::MeasureFairPlay(bot);
  EXPECT_EQ(figures.fastestMs, 10);
  EXPECT_EQ(figures.p10Ms, 10);
  // Each action i shifted by 100 ms x (1 + 2 + ... + (i + 1)): its reaction
  // grows to 10 + 100 (i + 1) ms, and the sixth smallest of fifty (index
  // 50 / 10) is the tenth percentile.
  for (size_t i = 0; i < bot.actions.size(); ++i) bot.actions[i].ms += static_cast<int64_t>(50 * (i + 1) * (i + 2));
  figures = score::MeasureFairPlay(bot);
  EXPECT_EQ(figures.fastestMs, 110);
  EXPECT_EQ(figures.p10Ms, 610);
  // A game without actions has no reactions.
  EXPECT_EQ(score::MeasureFairPlay(Replay{}).fastestMs, -1);
}

TEST(FairPlay, TheModeratorListsTheFiguresOfEachKeptReplay) {
  char pattern[] = "/tmp/score_fairXXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string db = folder + "/scores.db";
  {
    std::unique_ptr<score::Storage> storage = score::OpenStorage(db);
    score::ServiceOptions options;
    options.uploadsPerMinute = 0;
    score::Service service(*storage, options);
    const Replay bot = quibbleton::PlayBotGame(77, 2, 300, 50);
    score::Request request;
    request.method = "POST";
    request.target = "/api/replays?game=Quibbleton&name=Ann:::N&score=" +
                     std::to_string(quibbleton::VerifyReplay(bot).score);
    request.client = "127.0.0.1";
    request.body = quibbleton::FormatReplay(bot);
    request.playerKey = "0123456789abcdef0123456789abcdef";
    ASSERT_EQ(service.Handle(request).status, 200);
    request.target = "/cgi-bin/hiscore.cgi?game=Q&name=Bob:::N&score=" + std::to_string(5 ^ 0x07B7B7B7);
    request.method = "GET";
    request.body.clear();
    ASSERT_EQ(service.Handle(request).status, 200);
  }
  char* text = nullptr;
  size_t size = 0;
  FILE* out = open_memstream(&text, &size);
  std::string arguments[] = {"--db", db, "list-recent", "5"};
  char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(), arguments[3].data()};
  EXPECT_EQ(score::AdminMain(4, argv, out, stderr), 0);
  fclose(out);
  const std::string listed(text, size);
  free(text);
  const score::FairPlay figures = score::MeasureFairPlay(quibbleton::PlayBotGame(77, 2, 300, 50));
  const std::string expected = "\tverified\tgreedy " + std::to_string(figures.greedy * 100 / 50) + "% (" +
                               std::to_string(figures.greedy) + "/50) fastest 10 ms p10 10 ms\n";
  EXPECT_NE(listed.find("\tQuibbleton\tAnn\t"), std::string::npos) << listed;
  EXPECT_NE(listed.find(expected), std::string::npos) << listed;
  // A plain upload has no replay, so no figures.
  const size_t bob = listed.find("\tQ\tBob\t");
  ASSERT_NE(bob, std::string::npos);
  EXPECT_EQ(listed.substr(bob, listed.find('\n', bob) - bob).find("greedy"), std::string::npos) << listed;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

}  // namespace

// The server's deals as the game takes them: the answer read strictly, when
// a deal is asked for and when it is played, and the native request, which
// never holds up the frame that polls it.
#include "game/deal_source.h"
#include "records/replay_poster.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "../support/fake_score_server.h"

namespace {

constexpr char kDeal[] = R"({"deal":"d-1_A","seed":4242,"balloons":2,"gametime":300,"expires":2000000000})";

std::string Fields(const std::optional<ServerDeal>& deal) {
  if (!deal) return "none";
  return deal->id + " " + std::to_string(deal->seed) + " " + std::to_string(deal->balloons) + " " +
         std::to_string(deal->gameTime) + " " + std::to_string(deal->expires) + (deal->daily ? " daily" : "");
}

TEST(ParseDeal, ReadsTheServersAnswer) {
  EXPECT_EQ(Fields(ParseDeal(kDeal)), "d-1_A 4242 2 300 2000000000");

  // Any order, white space, escapes and members of its own that the game does not read.
  const std::string members = " \r\n{ \"expires\" : 7 ,\"note\":{\"a\":[1,-2.5e+3,true,false,null,\"\\u00e9\"]},"
                              "\"gametime\":0,\"balloons\":151,\"seed\":4294967295,\"deal\":\"a\\u0062";
  EXPECT_EQ(Fields(ParseDeal(members + "\"}\t")), "ab 4294967295 151 0 7");
  EXPECT_EQ(Fields(ParseDeal(members + "\\/\"}")), "none") << "a '/' is no deal name";
  EXPECT_EQ(Fields(ParseDeal(R"({"deal":"\u004A\u004b-\u0030","seed":1,"balloons":2,"gametime":3,"expires":4})")),
            "JK-0 1 2 3 4");
}

TEST(ParseDeal, RefusesAnythingElse) {
  const std::string id = R"("deal":"d")", rest = R"("balloons":2,"gametime":300,"expires":9)";
  const auto with = [&](const std::string& seed) { return "{" + id + "," + seed + "," + rest + "}"; };
  ASSERT_TRUE(ParseDeal(with(R"("seed":0)")));
  const std::vector<std::string> refused = {
           // a member missing, twice, or of another type or range
           "{" + id + "," + rest + "}", with(R"("seed":1,"seed":1)"), with(R"("seed":"1")"), with(R"("seed":1.0)"),
           with(R"("seed":1e3)"), with(R"("seed":-1)"), with(R"("seed":4294967296)"), with(R"("seed":null)"),
           with(R"("seed":99999999999999999999)"), with(R"("seed":01)"), with(R"("seed":+1)"),
           "{" + id + R"(,"seed":1,"balloons":152,"gametime":300,"expires":9})",
           "{" + id + R"(,"seed":1,"balloons":2,"gametime":86401,"expires":9})",
           "{" + id + R"(,"seed":1,"balloons":2,"gametime":300,"expires":0})",
           R"({"deal":"","seed":1,)" + rest + "}", R"({"deal":")" + std::string(65, 'a') + R"(","seed":1,)" + rest + "}",
           R"({"deal":"a b","seed":1,)" + rest + "}", R"({"deal":7,"seed":1,)" + rest + "}",
           // not JSON, or more than one object
           with(R"("seed":1,)"), with(R"("seed":1)") + "x", with(R"("seed":1)") + "{}", std::string("[").append(with(R"("seed":1)")).append("]"),
           with(R"("seed":1,/*c*/"x":1)"), with(R"("seed":1,"x":tru)"), with(R"("seed":1,"x":"a)" "\n" R"(b")"), with(R"("x":"a)" "\t" R"(,"seed":1)"),
           with(R"("seed":1,"x":"\x")"), with(R"("seed":1,"x":"\u12")"), with(R"("seed":1,"x":1.)"),
           with(R"("seed":1,"x":[1,])"), with(R"("seed":1,"x":)" + std::string(40, '[') + std::string(40, ']')),
           std::string(), "{", "{}", "null", with(R"('seed':1)"),
           // longer than any answer the game reads
           with(R"("seed":1,"x":")" + std::string(DealRequest::kMaxAnswerBytes, 'x') + "\"")};
  for (const std::string& text : refused) {
    EXPECT_FALSE(ParseDeal(text)) << text.substr(0, 200);
  }
}

// A request the test answers by hand.
class ScriptedRequest : public DealRequest {
 public:
  std::vector<std::string> started;
  std::optional<Answer> next;
  void Start(const std::string& address, bool post) override {
    started.push_back((post ? "POST " : "GET ") + address);
  }
  std::optional<Answer> Poll() override {
    std::optional<Answer> answer = std::move(next);
    next.reset();
    return answer;
  }
};

std::string DealJson(const char* id, int64_t expires, int balloons = 2, int gameTime = 300) {
  return std::string(R"({"deal":")") + id + R"(","seed":11,"balloons":)" + std::to_string(balloons) +
         R"(,"gametime":)" + std::to_string(gameTime) + R"(,"expires":)" + std::to_string(expires) + "}";
}

constexpr int64_t kSlack = ServerDeal::kSlackSeconds;

// A game is begun on a deal only when its countdown and ten minutes more
// (How to play's pause, a cleared board's bonus, the post) end before the
// deal expires; a countdown that alone fits is not enough.
TEST(ServerDeal, AGameBeginsOnlyWhenItCanEndAndReachTheServerInTime) {
  ServerDeal deal;
  deal.gameTime = 300;
  deal.expires = 100000;
  EXPECT_TRUE(deal.PlayableAt(100000 - 300 - 600 - 1));
  EXPECT_FALSE(deal.PlayableAt(100000 - 300 - 600));
  EXPECT_FALSE(deal.PlayableAt(100000 - 301)) << "the countdown alone fits";
  deal.gameTime = 2;
  EXPECT_TRUE(deal.PlayableAt(100000 - 2 - 600 - 1)) << "the slack is added to the deal's own game time";
}

class DealSourceTest : public ::testing::Test {
 protected:
  DealSourceTest() {
    auto owned = std::make_unique<ScriptedRequest>();
    request = owned.get();
    source = std::make_unique<DealSource>(std::move(owned));
    source->SetGame("http://s/api/games/Quibbleton");
  }
  ScriptedRequest* request;
  std::unique_ptr<DealSource> source;
};

TEST_F(DealSourceTest, AsksInTheBackgroundAndDealsOnlyWhatFits) {
  const int64_t t = 1000000;
  source->Poll(t);
  ASSERT_EQ(request->started, std::vector<std::string>{"POST http://s/api/games/Quibbleton/deals"});
  source->Poll(t);
  EXPECT_EQ(request->started.size(), 1u) << "one request at a time";
  EXPECT_FALSE(source->Take(2, 300, t)) << "nothing at hand yet: the player's own deal";

  request->next = DealRequest::Answer{200, DealJson("one", t + 400 + kSlack)};
  source->Poll(t);
  EXPECT_EQ(request->started.size(), 1u) << "a deal at hand: nothing more to ask";
  EXPECT_FALSE(source->Take(1, 300, t)) << "other balloons";
  EXPECT_FALSE(source->Take(2, 60, t)) << "another game time";
  EXPECT_FALSE(source->Take(2, 300, t + 100)) << "a game begun now, and its slack, end after the deal expires";
  const std::optional<ServerDeal> deal = source->Take(2, 300, t + 99);
  ASSERT_TRUE(deal);
  EXPECT_EQ(deal->id, "one");
  EXPECT_FALSE(deal->daily);
  EXPECT_FALSE(source->Take(2, 300, t + 99)) << "a deal is played once";
  source->Poll(t + 99);
  EXPECT_EQ(request->started.size(), 2u) << "the next is asked for at once";
}

TEST_F(DealSourceTest, ADealGrownTooOldIsAskedForAfresh) {
  const int64_t t = 1000000;
  source->Poll(t);
  request->next = DealRequest::Answer{200, DealJson("one", t + 360 + kSlack)};
  source->Poll(t);
  source->Poll(t + 59);
  EXPECT_EQ(request->started.size(), 1u);
  source->Poll(t + 60);
  ASSERT_EQ(request->started.size(), 2u) << "no game on it could end in time";
  request->next = DealRequest::Answer{200, DealJson("two", t + 300 + kSlack)};
  source->Poll(t + 60);
  EXPECT_FALSE(source->Take(2, 300, t + 60)) << "already too late on arrival";
  source->Poll(t + 60 + DealSource::kAskAgainSeconds - 1);
  EXPECT_EQ(request->started.size(), 2u) << "a server handing out late deals is not asked every frame";
  source->Poll(t + 60 + DealSource::kAskAgainSeconds);
  EXPECT_EQ(request->started.size(), 3u);
}

TEST_F(DealSourceTest, NoAnswerOrGarbageLeavesTheGameItsOwnAndWaitsBeforeAskingAgain) {
  const int64_t t = 1000000;
  for (const DealRequest::Answer& answer : {DealRequest::Answer{0, ""}, DealRequest::Answer{503, DealJson("x", t + 900)},
                                            DealRequest::Answer{200, "<html>"}, DealRequest::Answer{200, ""}}) {
    const size_t asked = request->started.size();
    source->Poll(t + 1000 * static_cast<int64_t>(asked));
    ASSERT_EQ(request->started.size(), asked + 1);
    const int64_t at = t + 1000 * static_cast<int64_t>(asked);
    request->next = answer;
    source->Poll(at);
    EXPECT_FALSE(source->Take(2, 300, at)) << answer.status << " " << answer.body;
    source->Poll(at + DealSource::kAskAgainSeconds - 1);
    EXPECT_EQ(request->started.size(), asked + 1) << answer.status << " " << answer.body;
  }
}

TEST_F(DealSourceTest, TheDailyDealIsAskedForFirstAndPlayedOnce) {
  const int64_t t = 1000000;
  source->Poll(t);
  request->next = DealRequest::Answer{200, DealJson("next", t + 900 + kSlack)};
  source->Poll(t);
  source->AskForTheDailyDeal();
  source->Poll(t);
  ASSERT_EQ(request->started.back(), "GET http://s/api/games/Quibbleton/daily");
  request->next = DealRequest::Answer{200, DealJson("day", t + 80000)};
  source->Poll(t);
  std::optional<ServerDeal> deal = source->Take(2, 300, t);
  ASSERT_TRUE(deal);
  EXPECT_EQ(deal->id, "day");
  EXPECT_TRUE(deal->daily);
  EXPECT_FALSE(source->DailyWanted());
  deal = source->Take(2, 300, t);
  ASSERT_TRUE(deal) << "the next New game plays the deal held for it";
  EXPECT_EQ(deal->id, "next");

  // Wanted but not at hand: that New game takes the next deal, and the wish is spent.
  source->Poll(t);
  request->next = DealRequest::Answer{200, DealJson("later", t + 900 + kSlack)};
  source->Poll(t);
  source->AskForTheDailyDeal();
  source->Poll(t);
  request->next = DealRequest::Answer{200, DealJson("day", t + 80000, 3)};
  source->Poll(t);
  deal = source->Take(2, 300, t);
  ASSERT_TRUE(deal);
  EXPECT_EQ(deal->id, "later");
  EXPECT_FALSE(source->DailyWanted());
}

TEST(DealSource, WithoutAServerNothingIsAsked) {
  auto owned = std::make_unique<ScriptedRequest>();
  ScriptedRequest* request = owned.get();
  DealSource source(std::move(owned));
  source.AskForTheDailyDeal();
  source.Poll(1000);
  EXPECT_TRUE(request->started.empty());
  EXPECT_FALSE(source.Take(2, 300, 1000));
}

// The native request on a real socket: the answer comes through, and while
// the server says nothing each poll returns at once and ending the request
// does not wait for the server.
std::optional<DealRequest::Answer> AwaitAnswer(DealRequest& request) {
  for (int n = 0; n < 500; ++n) {
    if (std::optional<DealRequest::Answer> answer = request.Poll()) return answer;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

TEST(CurlDealRequest, PostsAndTakesTheAnswer) {
  FakeScoreServer server;
  server.Answer({200, kDeal});
  std::unique_ptr<DealRequest> request = MakeDealRequest();
  request->Start(server.Address() + "/api/games/Quibbleton/deals", true);
  std::optional<DealRequest::Answer> answer = AwaitAnswer(*request);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->body, kDeal);
  EXPECT_FALSE(request->Poll()) << "an answer is taken once";

  server.Answer({200, std::string(DealRequest::kMaxAnswerBytes + 1, 'x')});
  request->Start(server.Address() + "/api/games/Quibbleton/daily", false);
  answer = AwaitAnswer(*request);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 0) << "an answer longer than any deal is none";
  EXPECT_EQ(answer->body, "");
  const std::vector<FakeScoreServer::Request> seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].path, "/api/games/Quibbleton/deals");
  EXPECT_EQ(seen[1].method, "GET");
  EXPECT_EQ(seen[1].path, "/api/games/Quibbleton/daily");

  // Nothing listens on a port just freed: refused, no answer.
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), size), 0);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  request->Start("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/api/games/Quibbleton/deals", true);
  answer = AwaitAnswer(*request);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 0);
}

TEST(CurlDealRequest, ASilentServerHoldsUpNeitherAFrameNorTheEnd) {
  FakeScoreServer server;
  server.Answer({200, kDeal, true});
  using Clock = std::chrono::steady_clock;
  auto request = MakeDealRequest();
  const Clock::time_point started = Clock::now();
  request->Start(server.Address() + "/api/games/Quibbleton/deals", true);
  Clock::duration longest{};
  while (Clock::now() - started < std::chrono::milliseconds(300)) {
    const Clock::time_point before = Clock::now();
    EXPECT_FALSE(request->Poll());
    longest = std::max(longest, Clock::now() - before);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count(), 5) << "a poll never waits";
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count(), 1000)
      << "starting waited";
  const Clock::time_point ending = Clock::now();
  request.reset();
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - ending).count(), 200)
      << "ending a request under way wakes it at once";
  EXPECT_EQ(server.Requests().size(), 1u);
}

// The native post of a ranked replay: body, key and type reach the server;
// a post never holds up its caller, and a silent server holds up the
// program's end no longer than one timeout, however many posts wait (those
// still waiting share what is left of it).
TEST(ReplayPoster, PostsInTheBackgroundAndTheEndWaitsAtMostOneTimeout) {
  using Clock = std::chrono::steady_clock;
  const auto msSince = [](Clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - from).count();
  };
  FakeScoreServer server;
  server.Answer({200, "{}"});
  {
    ReplayPoster poster;
    poster.Post(server.Address() + "/api/replays?game=Quibbleton&name=Dora:::N&score=5", "quibbleton-replay 1\n",
                "k3y");
    poster.Post(server.Address() + "/api/replays?game=Quibbleton&name=Ed:::N&score=6", "second", "");
  }
  std::vector<FakeScoreServer::Request> seen = server.Requests();
  ASSERT_EQ(seen.size(), 2u) << "the end lets the posts waiting go out";
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].path, "/api/replays");
  EXPECT_EQ(seen[0].body, "quibbleton-replay 1\n");
  EXPECT_EQ(seen[0].playerKey, "k3y");
  EXPECT_EQ(seen[1].body, "second");
  EXPECT_FALSE(seen[1].hasKey);

  FakeScoreServer silent;
  silent.Answer({200, "{}", true});
  Clock::time_point ending;
  {
    ReplayPoster poster;
    const Clock::time_point posting = Clock::now();
    for (int n = 0; n < 3; ++n) poster.Post(silent.Address() + "/api/replays", "r", "k");
    EXPECT_LT(msSince(posting), 50) << "a post waited";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ending = Clock::now();
  }
  EXPECT_LT(msSince(ending), ReplayPoster::kTimeoutMs + 500);
  EXPECT_GE(msSince(ending), ReplayPoster::kTimeoutMs - 500) << "the post under way was given its time";
  EXPECT_GE(silent.Requests().size(), 1u) << "the post under way reached the server";
}

}  // namespace

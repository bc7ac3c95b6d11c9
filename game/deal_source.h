// Deals from the score server: a ranked game is played on a board the
// server handed out, so nobody can search for a good one. The game asks for
// a deal in the background while its screen is open, and deals from it at
// New game when it fits the game's own settings and a game on it can end
// before the server stops taking it; otherwise the game plays its own deal,
// unranked, as it always has. Nothing here waits on the network: a request
// runs on its own (a thread natively, the page's fetch in a browser) and the
// game asks each frame whether its answer has come.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct ServerDeal {
  std::string id;  // the server's opaque name, quoted by the replay
  uint32_t seed = 0;  // the generator's state just before the deal
  int balloons = 0;
  int gameTime = 0;  // seconds
  int64_t expires = 0;  // UNIX seconds: a replay must reach the server before
  bool daily = false;  // the day's deal, everyone's (not from the answer)
  // What a game may take beyond its countdown before its replay reaches the
  // server: How to play stops the countdown, a cleared board's bonus
  // animation plays after it, and the post itself takes a moment.
  static constexpr int64_t kSlackSeconds = 600;
  // A game started at now can end (its whole countdown and the slack) and
  // be sent before the deal expires.
  bool PlayableAt(int64_t now) const { return now + gameTime + kSlackSeconds < expires; }
};

// The server's answer, {"deal":"ID","seed":N,"balloons":B,"gametime":T,
// "expires":E}, read strictly: one JSON object with each of those members
// once and of its type (an integer in the replay's range, the id a deal
// name), any other members well-formed JSON, nothing after it. Nothing when
// the text is anything else.
std::optional<ServerDeal> ParseDeal(std::string_view json);

// One request at a time for a deal, in the background.
class DealRequest {
 public:
  static constexpr int kTimeoutMs = 5000;
  // A deal's answer is a line of JSON; a longer one is no answer.
  static constexpr size_t kMaxAnswerBytes = 4096;
  struct Answer {
    int status = 0;  // the HTTP status; 0 when no answer came
    std::string body;
  };
  virtual ~DealRequest() = default;
  // Starts a POST without a body, or a GET, and returns at once. Called only
  // when no request is under way.
  virtual void Start(const std::string& address, bool post) = 0;
  // The answer, once, when the request has ended; nothing while it runs.
  virtual std::optional<Answer> Poll() = 0;
};

// libcurl on a thread natively, the page's fetch in the web build.
std::unique_ptr<DealRequest> MakeDealRequest();
// The web page was opened for the day's deal ("?daily=1"); never natively.
bool PageAsksForTheDailyDeal();

class DealSource {
 public:
  // After a failed request, or a deal no game can be played on in time,
  // before the same kind is asked for again.
  static constexpr int64_t kAskAgainSeconds = 30;

  explicit DealSource(std::unique_ptr<DealRequest> request) : request(std::move(request)) {}

  // The game's address on the server ("SCORES/api/games/NAME"); empty asks
  // for nothing.
  void SetGame(std::string address) { game = std::move(address); }
  bool Asking() const { return !game.empty(); }
  // The next New game plays the day's deal, if it is at hand by then.
  void AskForTheDailyDeal() { dailyWanted = true; }
  bool DailyWanted() const { return dailyWanted; }

  // Each frame, now in UNIX seconds: takes in an answer that has come, and
  // starts a request when a kind of deal wanted is not at hand.
  void Poll(int64_t now);
  // At New game: the deal to play with these settings, taken from the ones
  // at hand (the day's first when it was asked for); the next is then asked
  // for. Nothing when none fits: the game is the player's own.
  std::optional<ServerDeal> Take(int balloons, int gameTime, int64_t now);

 private:
  enum class Kind { kNext, kDaily };
  struct Slot {
    std::optional<ServerDeal> deal;
    int64_t askAt = 0;
  };
  Slot& SlotOf(Kind kind) { return kind == Kind::kDaily ? daily : next; }
  void Ask(Kind kind);
  void Answered(const DealRequest::Answer& answer, int64_t now);

  std::unique_ptr<DealRequest> request;
  std::string game;
  bool busy = false;
  Kind asked = Kind::kNext;
  Slot next, daily;
  bool dailyWanted = false;
};

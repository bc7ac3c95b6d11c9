// The game's side of the server's deals (game/deal_source.h): where it asks,
// the key that asks for the day's deal, a New game dealt from one, and its
// replay sent to the server when it ends.
#include <ctime>
#include <string>

#include "game/game.h"
#include "game/ranked_post.h"
#include "gx/random.h"
#include "screens/player_registry.h"
#include "shell/app.h"

namespace {

// The scan code of D, which asks for the day's deal.
constexpr int kDailyDealKey = 0x20;

// The game's address on the score server; empty (no deals) when there is
// no server to ask.
std::string DealAddress() {
  const std::optional<std::string> scores = ScoresAddress();
  return scores ? *scores + "/api/games/" + kServerGameName : std::string();
}

void TitleWith(const char* note) {
  const std::string title = std::string(playerRegistry.Player(playerRegistry.CurrentId()).name) + " - " + note;
  SetWindowTitle(title.c_str());
}

}  // namespace

void Game::PollServerDeals() {
  if (!dealsStarted) {
    dealsStarted = true;
    deals.SetGame(DealAddress());
    if (deals.Asking() && PageAsksForTheDailyDeal()) deals.AskForTheDailyDeal();
  }
  deals.Poll(std::time(nullptr));
}

bool Game::DailyDealKey(int event) {
  if ((event & 0xFF) != kDailyDealKey) return false;
  if (deals.Asking()) {
    deals.AskForTheDailyDeal();
    TitleWith("the day's deal at New game");
  }
  return true;
}

void Game::PlayServerDeal() {
  dealId.clear();
  const std::optional<ServerDeal> deal = deals.Take(rules.MinimumGroup(), gameTime, std::time(nullptr));
  if (!deal) return;
  // The deal's seed is the generator's state just before the deal: the
  // board is the one QB_SEED with that number deals first.
  lcg::srand(deal->seed);
  FillBoard();
  dealId = deal->id;
  TitleWith(deal->daily ? "the day's deal" : "a ranked deal");
}

void Game::PostRankedGame(int player, int value, std::string replay) {
  if (dealId.empty() || replay.empty()) return;
  const std::optional<std::string> scores = ScoresAddress();
  if (!scores) return;
  // The key binds the name to this profile on the server; made now if the
  // profile has none yet, as the launcher's upload would.
  PostRankedReplay(*scores, playerRegistry.PlayerString(player), value, std::move(replay),
                   playerRegistry.KeepKey(player));
}

// The game's side of the server's deals (game/deal_source.h): where it asks,
// the key that asks for the day's deal, and a New game dealt from one.
#include <ctime>
#include <string>

#include "game/game.h"
#include "gx/random.h"
#include "platform/device/config.h"
#include "platform/win/profile.h"
#include "records/shared_files.h"
#include "screens/player_registry.h"
#include "shell/app.h"

namespace {

constexpr char kGameName[] = "Quibbleton";
// The scan code of D, which asks for the day's deal.
constexpr int kDailyDealKey = 0x20;

// The game's address on the score server the launcher's setup.ini names;
// empty (no deals) for a scripted run, which deals from QB_SEED alone so
// every run is exact, and for "scores=" left empty.
std::string DealAddress() {
  if (platform::GetConfig().seed) return {};
  char value[1024] = "";
  GetPrivateProfileStringA(records::kServerSection, records::kScoresKey, records::kDefaultScoresAddress, value,
                           sizeof value, records::kLauncherSetupFromGame);
  std::string address = value;
  if (address.empty()) return {};
  // "/" (a page's own site) becomes a path from the site's root.
  while (!address.empty() && address.back() == '/') address.pop_back();
  return address + "/api/games/" + kGameName;
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

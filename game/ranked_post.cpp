#include "game/ranked_post.h"

#include "platform/device/config.h"
#include "platform/win/profile.h"
#include "records/shared_files.h"
#include "records/replay_poster.h"
#include "records/upload_address.h"

std::optional<std::string> ScoresAddress() {
  if (platform::GetConfig().seed) return std::nullopt;
  char value[1024] = "";
  GetPrivateProfileStringA(records::kServerSection, records::kScoresKey, records::kDefaultScoresAddress, value,
                           sizeof value, records::kLauncherSetupFromGame);
  std::string address = value;
  if (address.empty()) return std::nullopt;
  while (!address.empty() && address.back() == '/') address.pop_back();
  return address;
}

void PostRankedReplay(const std::string& scores, const std::string& playerString, int score, std::string replay,
                      std::string playerKey) {
  // The program's one poster, ended (and waited for) as the program ends.
  static ReplayPoster poster;
  poster.Post(ReplayAddress(scores.c_str(), kServerGameName, playerString.c_str(), score), std::move(replay),
              std::move(playerKey));
}

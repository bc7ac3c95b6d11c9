// Reads arbitrary bytes as the score server's answer to a deal request: it
// may not crash, hang or read past the text, and whatever it accepts is a
// deal the game can play and a replay can quote, and reads the same when
// written back as the server would write it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "game/deal_source.h"
#include "game/rules/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<ServerDeal> deal = ParseDeal(text);
  if (!deal) return 0;
  if (!quibbleton::IsDealId(deal->id) || deal->balloons < 0 || deal->balloons > quibbleton::kMaxReplayBalloons ||
      deal->gameTime < 0 || deal->gameTime > quibbleton::kMaxReplayGameTime || deal->expires <= 0 || deal->daily)
    abort();
  const std::string written = "{\"deal\":\"" + deal->id + "\",\"seed\":" + std::to_string(deal->seed) +
                              ",\"balloons\":" + std::to_string(deal->balloons) + ",\"gametime\":" +
                              std::to_string(deal->gameTime) + ",\"expires\":" + std::to_string(deal->expires) + "}";
  const std::optional<ServerDeal> again = ParseDeal(written);
  if (!again || again->id != deal->id || again->seed != deal->seed || again->balloons != deal->balloons ||
      again->gameTime != deal->gameTime || again->expires != deal->expires)
    abort();
  return 0;
}

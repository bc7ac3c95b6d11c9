// Reads arbitrary bytes as a replay and verifies it: neither may crash, hang
// or grow without bound. A replay that reads must write back to text that
// reads to the same replay, and a refusal always says why.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "game/rules/replay.h"
#include "game/rules/replay_verifier.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const quibbleton::ReplayParse parsed = quibbleton::ParseReplay(text);
  if (!parsed.ok) {
    if (parsed.error.empty()) abort();
    return 0;
  }
  if (parsed.replay.actions.size() > static_cast<size_t>(quibbleton::kMaxReplayActions) ||
      parsed.replay.pauses.size() > static_cast<size_t>(quibbleton::kMaxReplayPauses))
    abort();
  const std::string written = quibbleton::FormatReplay(parsed.replay);
  const quibbleton::ReplayParse again = quibbleton::ParseReplay(written);
  if (!again.ok || quibbleton::FormatReplay(again.replay) != written) abort();
  const quibbleton::Verdict verdict = quibbleton::VerifyReplay(parsed.replay);
  if (!verdict.ok && verdict.reason.empty()) abort();
  return 0;
}

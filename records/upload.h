// The hall of fame's upload as the launcher sends it and the score server
// reads it: the path and the mask that keeps the score from being read off
// the address at a glance.
#pragma once

#include <cstdint>

namespace records {

inline constexpr char kUploadPath[] = "/cgi-bin/hiscore.cgi";
// Where a game's replay is posted with the same query, its score unmasked.
inline constexpr char kReplayPath[] = "/api/replays";

// The score travels XOR this mask, as a signed decimal; the same XOR undoes it.
inline constexpr uint32_t kScoreMask = 0x07B7B7B7u;
constexpr int32_t MaskScore(int32_t score) { return static_cast<int32_t>(static_cast<uint32_t>(score) ^ kScoreMask); }

}  // namespace records

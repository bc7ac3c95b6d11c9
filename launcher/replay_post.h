// The hall of fame's upload also posts the best entry's replay, so the
// score server can verify it. The post runs in the background
// (records/replay_poster.h) with a five-second limit: no frame waits for it,
// and whatever becomes of it changes nothing for the player.
#pragma once

#include <string>

// Posts body as text/plain to address, with the header "X-Player-Key" when
// playerKey is not empty. Posts go one after another; the program's end
// waits for those not yet done at most the limit in all.
void PostInBackground(std::string address, std::string body, std::string playerKey);

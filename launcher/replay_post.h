// The hall of fame's upload also posts the best entry's replay, so the
// score server can verify it. The post runs on a thread of its own with a
// five-second limit: no frame waits for it, and whatever becomes of it
// changes nothing for the player.
#pragma once

#include <string>

// Posts body as text/plain to address, with the header "X-Player-Key" when
// playerKey is not empty. A post still under way is waited for first (at
// most its limit), and so is the last one when the program ends.
void PostInBackground(std::string address, std::string body, std::string playerKey);

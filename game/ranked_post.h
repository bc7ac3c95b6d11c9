// A game dealt from the score server's deal is sent to the server when it
// ends, by the game itself: the server ranks a deal's replay only until the
// deal expires, and the hall of fame's upload sends only its best entry, so
// most ranked games would otherwise never reach it. The post runs in the
// background (a thread natively, the page's fetch in a browser); no frame
// waits for it, and whatever becomes of it changes nothing for the player.
#pragma once

#include <optional>
#include <string>

// The game's name on the score server.
inline constexpr char kServerGameName[] = "Quibbleton";

// The score server's address the launcher's setup.ini names, without its
// trailing "/" (so "/", a page's own site, is "": paths from the site's
// root). Nothing (no deals, no posts) for a scripted run, which deals from
// QB_SEED alone so every run is exact, and for "scores=" left empty.
std::optional<std::string> ScoresAddress();

// Posts the replay of a ranked game that ended with score to the server at
// scores, as the launcher's upload does: "/api/replays" with the query
// "game=Quibbleton&name=...&score=N", the name as the upload sends the
// player string (the address and e-mail only when the player chose to send
// them), and the player's key as "X-Player-Key".
void PostRankedReplay(const std::string& scores, const std::string& playerString, int score, std::string replay,
                      std::string playerKey);

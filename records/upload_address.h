// The hall of fame's upload: the best entry of a game's table sent to the
// score server as a web address that the browser opens, and the address a
// replay is posted to, by the launcher's upload and by the game after a
// ranked game alike. Nothing here needs a window, so the server's tests use
// the same escaping as the programs.
#pragma once

#include <cstdint>
#include <string>

// Per-cent escapes exactly these sixteen characters, as two lower-case hex
// digits: space " # % ; < > ? [ \ ] ^ { | } ~. Everything else, "&", "=",
// ":" and "/" included, and bytes outside 32..126, is copied as it is, so the
// query's own separators keep their meaning. The result is never cut.
std::string EscapeQuery(const char* text);

// The server's score address (scheme and host, without a trailing "/") with
// the upload's path, "?" and the escaped query "game=%s&name=%s&score=%d",
// the score masked (records/upload.h) as a signed decimal. The name is the
// player string as records::PlayerStringToSend gives it.
std::string UploadAddress(const char* server, const char* game, const char* playerString, int32_t score);

// Where the entry's replay is posted: "/api/replays?" and the same escaped
// query, the score as it is.
std::string ReplayAddress(const char* server, const char* game, const char* playerString, int32_t score);

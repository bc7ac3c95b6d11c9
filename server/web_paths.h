// Where a request under /play/ leads in the web build. The path comes from
// the client, so it is read strictly: each segment is decoded on its own
// and must be a plain name, so no escape, separator or dot can climb out
// of the build's folder. Pure functions, fuzzed with the other readers of
// client bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace score {

inline constexpr std::string_view kPlayPath = "/play/";

struct WebTarget {
  std::string relative;    // segments joined by "/"; empty for the folder itself
  bool directory = false;  // the path ended with "/": its index.html is meant
};

// The path after "/play/", still escaped. Nothing for a path that is not a
// plain walk down the folder: an empty, dot-led or over-long segment, an
// escaped or literal separator ("/" or "\"), a NUL or other control
// character, a malformed escape or text that is not UTF-8.
std::optional<WebTarget> MapWebPath(std::string_view escaped);

// True when a file may be kept by caches for good: its name carries a
// content hash ("Quibbleton.3f9a01bc.wasm": 8 to 64 hex digits between two
// dots), or the request names the version ("?v=3f9a01bc").
bool IsVersioned(std::string_view fileName, std::string_view query);

// The quality the client's Accept-Encoding gives a content coding ("gzip",
// "br"): 0 when it is not accepted.
double CodingQuality(std::string_view acceptEncoding, std::string_view coding);

}  // namespace score

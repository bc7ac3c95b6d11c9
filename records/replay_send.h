// How a replay's post goes out natively: one blocking POST, on the poster's
// thread (records/replay_poster.cpp). libcurl's, or on Windows the
// platform's WinHTTP.
#pragma once

#include <string>

namespace records {

struct OutgoingPost {
  std::string address, body, playerKey;
};

// A text/plain POST of post.body to post.address ("X-Player-Key" when
// post.playerKey is not empty), given up after timeoutMs; the answer is not
// read. Only http and https addresses are posted.
void SendPost(const OutgoingPost& post, long timeoutMs);

}  // namespace records

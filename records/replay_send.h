// How a replay's post goes out natively: one blocking POST, on the poster's
// thread (records/replay_poster.cpp). libcurl's, or on Windows the
// platform's WinHTTP.
#pragma once

#include <string>

namespace records {

struct OutgoingPost {
  std::string address, body, playerKey;
};

// Readies the sender, on the thread that posts (the first post, not at
// start-up: a program that never posts loads nothing). libcurl's global
// set-up must not run on a thread of its own beside the program's.
void PrepareToSend();

// A text/plain POST of post.body to post.address ("X-Player-Key" when
// post.playerKey is not empty), given up after timeoutMs; the answer is not
// read. Only http and https addresses are posted.
void SendPost(const OutgoingPost& post, long timeoutMs);

}  // namespace records

#include "launcher/replay_post.h"

#include "records/replay_poster.h"

void PostInBackground(std::string address, std::string body, std::string playerKey) {
  // The program's one poster, ended (and waited for) as the program ends.
  static ReplayPoster poster;
  poster.Post(std::move(address), std::move(body), std::move(playerKey));
}

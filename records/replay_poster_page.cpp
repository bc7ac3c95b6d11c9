// A replay's post in the web build: the page's fetch sends it from the
// program's own site, so the score server gets it as from libcurl.
#include "records/replay_poster.h"
#include "platform/device/page_post.h"

struct ReplayPoster::Worker {};

ReplayPoster::ReplayPoster() = default;
ReplayPoster::~ReplayPoster() = default;

void ReplayPoster::Post(std::string address, std::string body, std::string playerKey) {
  platform::PagePostText(address, body, playerKey);
}

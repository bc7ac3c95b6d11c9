// The replay's post in the web build: the page's fetch sends it, the same
// origin as the game's page, so the score server gets it as from libcurl.
#include "launcher/replay_post.h"

#include "platform/device/page_post.h"

void PostInBackground(std::string address, std::string body, std::string playerKey) {
  platform::PagePostText(address, body, playerKey);
}

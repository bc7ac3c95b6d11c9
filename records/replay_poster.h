// A replay posted to the score server in the background, by the game when
// a ranked game ends and by the launcher's upload: no frame waits for it,
// and whatever becomes of it changes nothing for the player.
#pragma once

#include <memory>
#include <string>

// Posts in the background, one after another. Natively each post has
// kTimeoutMs, and the end of the program (the poster's destruction) waits
// for those not yet done no longer than kTimeoutMs in all; in the web build
// the page's fetch takes each post at once.
class ReplayPoster {
 public:
  static constexpr int kTimeoutMs = 5000;
  ReplayPoster();
  ~ReplayPoster();
  ReplayPoster(const ReplayPoster&) = delete;
  ReplayPoster& operator=(const ReplayPoster&) = delete;
  // A text/plain POST of body to address, with "X-Player-Key" when
  // playerKey is not empty.
  void Post(std::string address, std::string body, std::string playerKey);

 private:
  struct Worker;
  std::unique_ptr<Worker> worker;
};

// The replay uploads' driver of bench/server_replays.sh: against a running
// server, first distinct replays posted for a while over keep-alive
// connections (each a new verified, ranked-or-not entry), then /healthz for
// as long on the same connections, in the same run. Prints a RESULT line of
// requests per second for each and the uploads' share of /healthz.
// Usage: server_replays PORT SECONDS CONNECTIONS [worst]
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"

namespace {

struct Body {
  std::string target, text;
};

// Requests per second answered 200 by `connections` clients for `seconds`.
template <class Send>
double Rate(int connections, double seconds, Send send) {
  std::atomic<long> answered{0};
  std::atomic<bool> failed{false};
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::thread> clients;
  for (int c = 0; c < connections; ++c) {
    clients.emplace_back([&, c] {
      long i = 0;
      while (std::chrono::steady_clock::now() < end) {
        if (send(c, i++)) {
          ++answered;
        } else {
          failed = true;
        }
      }
    });
  }
  for (auto& client : clients) client.join();
  if (failed) std::fprintf(stderr, "some requests were not answered 200\n");
  return answered / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: server_replays PORT SECONDS CONNECTIONS [worst]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const double seconds = std::atof(argv[2]);
  const int connections = std::atoi(argv[3]);
  const bool worst = argc > 4 && std::string(argv[4]) == "worst";
  // Enough distinct games that none is sent twice within the run (a
  // repeat is refused before it is stored).
  const int games = worst ? 400 : 4000;
  std::vector<Body> bodies;
  for (int seed = 1; seed <= games; ++seed) {
    quibbleton::Replay replay =
        worst ? quibbleton::PlayBotGame(seed, quibbleton::kMaxReplayBalloons, 86400, quibbleton::kMaxReplayActions)
              : quibbleton::PlayBotGame(seed, 2, 300, 150);
    while (quibbleton::FormatReplay(replay).size() > quibbleton::kMaxReplayBytes) replay.actions.pop_back();
    bodies.push_back({"/api/replays?game=Quibbleton&name=P" + std::to_string(seed) + ":::N&score=" +
                          std::to_string(quibbleton::VerifyReplay(replay).score),
                      quibbleton::FormatReplay(replay)});
  }
  std::vector<std::unique_ptr<httplib::Client>> clients;
  for (int c = 0; c < connections; ++c) {
    clients.push_back(std::make_unique<httplib::Client>("127.0.0.1", port));
    clients.back()->set_keep_alive(true);
    // Headers and body go in two writes: without this, each upload waits
    // for a delayed ACK (40 ms) before its body leaves.
    clients.back()->set_tcp_nodelay(true);
    clients.back()->set_read_timeout(30, 0);
  }
  std::atomic<size_t> next{0};
  const double uploads = Rate(connections, seconds, [&](int c, long) {
    const Body& body = bodies[next++ % bodies.size()];
    auto res = clients[c]->Post(body.target.c_str(), body.text, "text/plain");
    return res && res->status == 200;
  });
  if (next > bodies.size()) std::fprintf(stderr, "more uploads than distinct games: some were repeats\n");
  const double healthz = Rate(connections, seconds, [&](int c, long) {
    auto res = clients[c]->Get("/healthz");
    return res && res->status == 200;
  });
  std::printf("RESULT %s replay uploads/s %.1f healthz/s %.1f share %.4f\n", worst ? "worst" : "typical", uploads,
              healthz, healthz > 0 ? uploads / healthz : 0);
  return 0;
}

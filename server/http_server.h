// The HTTP layer: GNU libmicrohttpd serving the Service's answers to
// clients that may be hostile. A few threads each wait on epoll for many
// connections, so slow clients hold memory, not threads; limits bound how
// many connections there are, per client and in all, how much memory each
// may use (so headers are bounded) and how long a request's head may take
// to arrive, however slowly it trickles. The Service sees no sockets.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "server/service.h"

namespace score {

struct HttpLimits {
  unsigned threads = 4;           // per listening address
  unsigned connections = 1000;    // per listening address
  unsigned perClient = 32;        // per client address (IPv6: per /64)
  size_t connectionMemory = 16 * 1024;  // the request's head must fit in it
  unsigned headSeconds = 10;      // from connect (or the previous answer) to a whole request head
  unsigned idleSeconds = 5;       // without a byte either way
  int backlog = 1024;
  std::string exempt;             // a trusted proxy: not limited per client
  // Requests that wait for the database run on threads of their own.
  unsigned workers = 8;
  size_t waitingLimit = 256;      // requests queued for a worker at most
  unsigned stallMs = 1000;        // every worker busy this long: refuse more
};

class HttpServer {
 public:
  using Handler = std::function<Response(const Request&)>;
  // Called after each answer with the request, the answer and its duration.
  using Logger = std::function<void(const Request&, const Response&, double seconds)>;

  // Whether a request is answered on its connection's own thread, at once:
  // only those that never wait for the database. The others are handed to
  // the workers, and get `unavailable`'s answer when the workers cannot
  // take them. Without `atOnce` every request is answered at once.
  using Predicate = std::function<bool(const Request&)>;

  HttpServer(Handler handler, Logger logger, HttpLimits limits, Predicate atOnce = nullptr,
             Handler unavailable = nullptr);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Listens on every address `host` resolves to ("localhost": both ::1 and
  // 127.0.0.1), all on one port; port 0 takes a free one. Returns the port;
  // throws std::runtime_error when nothing can be bound.
  int Listen(const std::string& host, int port);
  void Stop();
  // Seconds the longest-waiting request for the database has waited.
  double DatabaseWait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace score

// The HTTP layer: GNU libmicrohttpd serving the Service's answers to
// clients that may be hostile. A few threads each wait on epoll for many
// connections, so slow clients hold memory, not threads; limits bound how
// many connections there are, per client and in all, how much memory each
// may use (so headers are bounded), how long a request's head may take to
// arrive, however slowly it trickles, and how long and how slowly its body
// may. A full server makes room by dropping the connection that has waited
// longest for its head or body. Heads that two readers could frame
// differently are refused. The Service sees no sockets.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "server/service.h"

namespace score {

struct HttpLimits {
  unsigned threads = 4;           // per listening address
  // In all, over every listening address. A hundred addresses at their
  // per-client share leave room for others, and when it is full anyway the
  // slowest to send its request gives way.
  unsigned connections = 4000;
  unsigned perClient = 32;        // per client address (IPv6: per /64)
  size_t headBytes = 16 * 1024;   // a longer request head is answered 431
  // The library's own memory per connection: more than the head may take,
  // so that this server, not the library, refuses a long head.
  size_t connectionMemory = 32 * 1024;
  unsigned headSeconds = 10;      // from connect (or the previous answer) to a whole request head
  unsigned bodySeconds = 10;      // from the head to the whole body
  // After its first two seconds a body must have come at this average
  // rate (bytes a second) since its head.
  unsigned bodyRate = 1024;
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

  // The answer to give on the connection's own thread, at once, when there
  // is one without waiting for the database (a health check, a page kept
  // in memory). The other requests are handed to the workers, and get
  // `unavailable`'s answer when the workers cannot take them. Without
  // `atOnce` every request is answered at once by the handler.
  using Predicate = std::function<std::optional<Response>(const Request&)>;
  // The answer to a request refused before it is handled: 400 for framing
  // that could be read two ways, 431 for a head too long. Without one the
  // answer is a bare status.
  using Refusal = std::function<Response(const Request&, int status)>;

  HttpServer(Handler handler, Logger logger, HttpLimits limits, Predicate atOnce = nullptr,
             Handler unavailable = nullptr, Refusal refused = nullptr);
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

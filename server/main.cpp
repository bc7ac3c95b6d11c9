// score-server: the hall of fame's upload and the web leaderboards.
//   score-server [--listen ADDR:PORT] [--db PATH|postgresql://…] [--upload-limit N] [--threads N]
// Port 0 takes any free port; the first line on stderr names the one taken.
#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <string>
#include <thread>

#include "server/pages.h"
#include "server/service.h"
#include "server/storage.h"

// ThreadSanitizer cannot see inside Debian's compiled cpp-httplib: a
// function-local static there (built by the first worker, read by the
// others through the uninstrumented fast path of its initialisation guard)
// reads as a race between worker threads. Only that library's frames are
// excused; ours stay checked.
extern "C" const char* __tsan_default_suppressions() { return "race:libcpp-httplib.so\n"; }

namespace {

int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
  errno = saved;
}

struct Options {
  std::string host = "localhost";
  int port = 8080;
  std::string db = "scores.db";
  int uploadLimit = 30;
  // A connection holds its thread while it is kept alive (up to 5 s idle), so
  // there are threads for many more browsers than there are cores.
  int threads = 64;
};

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr,
               "score-server: %s\nusage: score-server [--listen ADDR:PORT] [--db PATH|postgresql://...] "
               "[--upload-limit N] [--threads N]\n",
               problem);
  std::exit(2);
}

int Number(const char* text, int low, int high, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value < low || value > high) Usage(what);
  return static_cast<int>(value);
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) Usage(("missing value after " + flag).c_str());
    const char* value = argv[++i];
    if (flag == "--listen") {
      const char* colon = std::strrchr(value, ':');
      if (!colon || colon == value) Usage("--listen takes ADDR:PORT");
      options.host.assign(value, colon);
      // "[::1]:8080": the brackets only delimit the address.
      if (options.host.size() > 2 && options.host.front() == '[' && options.host.back() == ']') {
        options.host = options.host.substr(1, options.host.size() - 2);
      }
      options.port = Number(colon + 1, 0, 65535, "the port must be 0..65535");
    } else if (flag == "--db") {
      options.db = value;
    } else if (flag == "--upload-limit") {
      options.uploadLimit = Number(value, 0, 1000000, "--upload-limit takes a number of uploads per minute");
    } else if (flag == "--threads") {
      options.threads = Number(value, 1, 1024, "--threads takes 1..1024");
    } else {
      Usage(("unknown option " + flag).c_str());
    }
  }
  return options;
}

std::string Now() {
  const std::time_t t = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseArguments(argc, argv);

  // SIGINT and SIGTERM write a byte to a pipe (all a handler may safely
  // do); a thread reading the pipe stops the server. A handler is set even
  // where a shell started the server in the background with SIGINT ignored.
  if (pipe(stopPipe) != 0) {
    std::perror("score-server: pipe");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<score::Storage> storage;
  try {
    storage = score::OpenStorage(options.db);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "score-server: cannot open the database: %s\n", e.what());
    return 1;
  }
  score::ServiceOptions serviceOptions;
  serviceOptions.uploadsPerMinute = options.uploadLimit;
  score::Service service(*storage, serviceOptions);

  httplib::Server server;
  const int threads = options.threads;
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  server.set_read_timeout(5, 0);
  server.set_write_timeout(5, 0);
  server.set_keep_alive_timeout(5);
  server.set_keep_alive_max_count(1000);
  server.set_payload_max_length(8 * 1024);
  // A page goes out as two writes (head, then body); without this the body
  // waits for the client's delayed acknowledgement, 40 ms on Linux.
  server.set_tcp_nodelay(true);

  auto handle = [&service](const httplib::Request& req, httplib::Response& res) {
    score::Response answer;
    try {
      answer = service.Handle({req.method, req.target, req.remote_addr});
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s error %s\n", Now().c_str(), e.what());
      answer.status = 503;
      answer.body = score::MessagePage("Unavailable", "The score database cannot be reached; please try again later.");
    }
    res.status = answer.status;
    for (const auto& [key, value] : answer.headers) res.set_header(key, value);
    res.set_content(std::move(answer.body), answer.contentType.c_str());
  };
  // Every request goes to the service, which routes by itself; the
  // library's own routing would match a regular expression per request.
  server.set_pre_routing_handler([handle](const httplib::Request& req, httplib::Response& res) {
    handle(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });

  // One line per request; the query is left out, as it can hold a player's
  // address and e-mail that the player did not agree to have kept.
  server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
    std::fprintf(stderr, "%s %s %s %s %d %zu\n", Now().c_str(), req.remote_addr.c_str(), req.method.c_str(),
                 req.path.c_str(), res.status, res.body.size());
  });

  int port = options.port;
  if (port == 0) {
    port = server.bind_to_any_port(options.host);
    if (port < 0) {
      std::fprintf(stderr, "score-server: cannot listen on %s\n", options.host.c_str());
      return 1;
    }
  } else if (!server.bind_to_port(options.host, port)) {
    std::fprintf(stderr, "score-server: cannot listen on %s:%d\n", options.host.c_str(), port);
    return 1;
  }
  std::fprintf(stderr, "score-server: listening on http://%s:%d/ with %s\n", options.host.c_str(), port,
               options.db.find("://") == std::string::npos ? options.db.c_str() : "PostgreSQL");

  std::thread stopper([&server] {
    char byte = 0;
    while (read(stopPipe[0], &byte, 1) < 0 && errno == EINTR) {
    }
    server.stop();
  });
  const bool ok = server.listen_after_bind();
  // listen_after_bind also returns when the socket fails; wake the stopper.
  OnStopSignal(0);
  stopper.join();
  std::fprintf(stderr, "score-server: stopped\n");
  return ok ? 0 : 1;
}

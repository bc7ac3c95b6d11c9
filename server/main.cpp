// score-server: the hall of fame's upload and the web leaderboards.
//   score-server [--listen ADDR:PORT] [--db PATH|postgresql://…] [--upload-limit N] [--upload-limit-48 N]
//                [--upload-total N] [--read-limit N] [--deal-limit N]
//                [--deal-margin SECONDS] [--threads N]
//                [--db-pool N] [--db-timeout SECONDS] [--games FILE] [--trust-proxy ADDR] [--max-connections N] [--per-client N] [--request-timeout SECONDS]
//                [--body-timeout SECONDS] [--body-rate BYTES] [--log-format text|json] [--metrics-listen ADDR:PORT] [--web DIR|none]
//   score-server admin [--db …] hide ID|unhide ID|ban NAME|unban NAME|list-recent N   (see admin.h)
// Port 0 takes any free port; the first line on stderr names the one taken.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "server/admin.h"
#include "server/http_server.h"
#include "server/log_text.h"
#include "server/metrics.h"
#include "server/pages.h"
#include "server/service.h"
#include "server/static_site.h"
#include "server/storage.h"

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
  int siteUploadLimit = 120;
  int totalUploadLimit = 600;
  int readLimit = 60;
  int dealLimit = 6;
  int64_t dealMargin = score::kDealMarginSeconds;
  // Threads wait on many connections each; a few keep the cores busy while
  // some wait for the database.
  int threads = 4;
  int maxConnections = 4000;
  int perClient = 32;
  int requestTimeout = 10;
  int bodyTimeout = 10;
  int bodyRate = 1024;
  std::string trustProxy;
  std::string gamesFile;
  score::StorageOptions storage;
  bool jsonLog = false;
  // Where /metrics is served; empty: nowhere. Never the public address.
  std::string metricsHost;
  int metricsPort = -1;
  // The programs' web build served at /play/; empty: the one beside the
  // program when there is one, "none": no /play/.
  std::string web;
};

constexpr const char* kUsage =
    "usage: score-server [--listen ADDR:PORT] [--db PATH|postgresql://...] "
    "[--upload-limit N] [--upload-limit-48 N] [--upload-total N] [--read-limit N] [--deal-limit N] [--deal-margin SECONDS] [--threads N]\n       [--db-pool N] [--db-timeout SECONDS] [--games FILE] [--trust-proxy ADDR] [--max-connections N] "
    "[--per-client N] [--request-timeout SECONDS]\n       [--body-timeout SECONDS] [--body-rate BYTES] [--log-format text|json]\n       [--metrics-listen ADDR:PORT] [--web DIR|none]\n";

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr, "score-server: %s\n%s", problem, kUsage);
  std::exit(2);
}

[[noreturn]] void PrintHelp() {
  std::printf("%s\n"
              "  --web DIR   serve the programs' web build from DIR at /play/ (the launcher's page) and\n"
              "              /play/NAME/ (each game's). By default the folder web/ beside this program\n"
              "              (build/web/ beside build/score-server) when it holds an index.html;\n"
              "              --web none serves no /play/.\n"
              "  The other options are described in README.md (\"The score server\").\n",
              kUsage);
  std::exit(0);
}

int Number(const char* text, int low, int high, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value < low || value > high) Usage(what);
  return static_cast<int>(value);
}

void HostAndPort(const char* value, const char* problem, std::string& host, int& port) {
  const char* colon = std::strrchr(value, ':');
  if (!colon || colon == value) Usage(problem);
  host.assign(value, colon);
  // "[::1]:8080": the brackets only delimit the address.
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  port = Number(colon + 1, 0, 65535, "the port must be 0..65535");
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--help") PrintHelp();
    if (i + 1 >= argc) Usage(("missing value after " + flag).c_str());
    const char* value = argv[++i];
    if (flag == "--listen") {
      HostAndPort(value, "--listen takes ADDR:PORT", options.host, options.port);
    } else if (flag == "--metrics-listen") {
      HostAndPort(value, "--metrics-listen takes ADDR:PORT", options.metricsHost, options.metricsPort);
    } else if (flag == "--db") {
      options.db = value;
    } else if (flag == "--deal-limit") {
      options.dealLimit = Number(value, 0, 1000000, "--deal-limit takes a number of deals per minute");
    } else if (flag == "--deal-margin") {
      options.dealMargin = Number(value, 0, 86400, "--deal-margin takes 0..86400 seconds");
    } else if (flag == "--read-limit") {
      options.readLimit = Number(value, 0, 1000000, "--read-limit takes a number of reads per minute");
    } else if (flag == "--upload-limit") {
      options.uploadLimit = Number(value, 0, 1000000, "--upload-limit takes a number of uploads per minute");
    } else if (flag == "--upload-limit-48") {
      options.siteUploadLimit = Number(value, 0, 1000000, "--upload-limit-48 takes a number of uploads per minute");
    } else if (flag == "--upload-total") {
      options.totalUploadLimit = Number(value, 0, 1000000, "--upload-total takes a number of uploads per minute");
    } else if (flag == "--threads") {
      options.threads = Number(value, 1, 1024, "--threads takes 1..1024");
    } else if (flag == "--max-connections") {
      options.maxConnections = Number(value, 1, 1000000, "--max-connections takes 1..1000000");
    } else if (flag == "--per-client") {
      options.perClient = Number(value, 1, 1000000, "--per-client takes 1..1000000");
    } else if (flag == "--request-timeout") {
      options.requestTimeout = Number(value, 1, 3600, "--request-timeout takes 1..3600 seconds");
    } else if (flag == "--body-timeout") {
      options.bodyTimeout = Number(value, 1, 3600, "--body-timeout takes 1..3600 seconds");
    } else if (flag == "--body-rate") {
      options.bodyRate = Number(value, 0, 100000000, "--body-rate takes a number of bytes a second");
    } else if (flag == "--db-pool") {
      options.storage.pool = Number(value, 1, 1000, "--db-pool takes 1..1000 connections");
    } else if (flag == "--db-timeout") {
      options.storage.seconds = Number(value, 1, 3600, "--db-timeout takes 1..3600 seconds");
    } else if (flag == "--games") {
      options.gamesFile = value;
    } else if (flag == "--trust-proxy") {
      options.trustProxy = value;
    } else if (flag == "--web") {
      options.web = value;
      if (options.web.empty()) Usage("--web takes a folder or none");
    } else if (flag == "--log-format") {
      if (std::strcmp(value, "text") != 0 && std::strcmp(value, "json") != 0) Usage("--log-format takes text or json");
      options.jsonLog = std::strcmp(value, "json") == 0;
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
  if (argc > 1 && std::strcmp(argv[1], "admin") == 0) return score::AdminMain(argc - 2, argv + 2, stdout, stderr);
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
    storage = score::OpenStorage(options.db, options.storage);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "score-server: cannot open the database: %s\n", e.what());
    return 1;
  }
  score::ServiceOptions serviceOptions;
  serviceOptions.uploadsPerMinute = options.uploadLimit;
  serviceOptions.uploadsPerSitePerMinute = options.siteUploadLimit;
  serviceOptions.uploadsInAllPerMinute = options.totalUploadLimit;
  serviceOptions.readsPerMinute = options.readLimit;
  serviceOptions.dealsPerMinute = options.dealLimit;
  serviceOptions.dealMargin = options.dealMargin;
  serviceOptions.trustedProxy = options.trustProxy;
  // Without a list, only the games whose replays the server can check make
  // boards: anything else would be a new game for every name sent.
  if (options.gamesFile.empty()) serviceOptions.games = score::GamesWithRules();
  if (!options.gamesFile.empty()) {
    // One game a line; blank lines and "#" comments are skipped.
    std::ifstream list(options.gamesFile);
    if (!list) {
      std::fprintf(stderr, "score-server: cannot read %s\n", options.gamesFile.c_str());
      return 1;
    }
    std::string line;
    while (std::getline(list, line)) {
      while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
      size_t start = 0;
      while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start]))) ++start;
      line.erase(0, start);
      if (!line.empty() && line[0] != '#') serviceOptions.games.push_back(line);
    }
    if (serviceOptions.games.empty()) {
      std::fprintf(stderr, "score-server: %s lists no games\n", options.gamesFile.c_str());
      return 1;
    }
  }
  // Readiness asks how long requests have waited for the database; the
  // server that knows is made below, before any request can come.
  score::HttpServer* http = nullptr;
  serviceOptions.databaseWait = [&http] { return http ? http->DatabaseWait() : 0.0; };
  std::unique_ptr<score::StaticSite> web;
  try {
    web = score::OpenWebBuild(options.web);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "score-server: --web: %s\n", e.what());
    return 1;
  }
  serviceOptions.web = web.get();
  score::Service service(*storage, serviceOptions);
  score::Metrics metrics;

  score::HttpLimits limits;
  limits.threads = static_cast<unsigned>(options.threads);
  limits.connections = static_cast<unsigned>(options.maxConnections);
  limits.perClient = static_cast<unsigned>(options.perClient);
  limits.exempt = options.trustProxy;
  limits.headSeconds = static_cast<unsigned>(options.requestTimeout);
  limits.bodySeconds = static_cast<unsigned>(options.bodyTimeout);
  limits.bodyRate = static_cast<unsigned>(options.bodyRate);
  // Each connection is a file: the soft limit (often 1,024) is raised as far
  // as the hard one lets it, and the connections kept within it.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    getrlimit(RLIMIT_NOFILE, &files);
    constexpr rlim_t kSpare = 128;  // the database, the web build's files, the metrics listener
    if (files.rlim_cur != RLIM_INFINITY && limits.connections + kSpare > files.rlim_cur) {
      limits.connections = files.rlim_cur > 2 * kSpare ? static_cast<unsigned>(files.rlim_cur - kSpare) : kSpare;
      std::fprintf(stderr, "score-server: %u connections at most (open files are limited to %llu)\n",
                   limits.connections, static_cast<unsigned long long>(files.rlim_cur));
    }
  }

  auto handle = [&service](const score::Request& request) {
    try {
      return service.Handle(request);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s error %s\n", Now().c_str(), score::EscapeForLog(e.what()).c_str());
      score::Response answer;
      answer.status = 500;
      answer.body = score::MessagePage("Server error", "Something went wrong; please try again later.");
      return answer;
    }
  };
  // One line per request. The query is left out, as it can hold a player's
  // address and e-mail that the player did not agree to have kept, and every
  // byte a client chose is escaped, so no request can forge a line.
  const std::string trustProxy = options.trustProxy;
  const bool json = options.jsonLog;
  auto log = [trustProxy, json, &metrics](const score::Request& request, const score::Response& answer,
                                          double seconds) {
    metrics.Observe(request, answer, seconds);
    const std::string path =
        score::EscapeForLog(std::string_view(request.target).substr(0, request.target.find('?')));
    const std::string client = score::EscapeForLog(score::ClientOf(request, trustProxy));
    const std::string method = score::EscapeForLog(request.method);
    const size_t bytes = answer.file ? static_cast<size_t>(answer.file->info.st_size) : answer.body.size();
    if (json) {
      const nlohmann::json line = {{"time", Now()},     {"client", client},          {"method", method},
                                   {"path", path},      {"status", answer.status},   {"bytes", bytes},
                                   {"ms", seconds * 1000}};
      std::fprintf(stderr, "%s\n", line.dump().c_str());
    } else {
      std::fprintf(stderr, "%s %s %s %s %d %zu %.1fms\n", Now().c_str(), client.c_str(), method.c_str(),
                   path.c_str(), answer.status, bytes, seconds * 1000);
    }
  };

  // Only what waits for the database goes to the workers; /healthz and the
  // pages kept in memory are answered on the connection's own thread,
  // whatever the database does.
  score::HttpServer server(
      handle, log, limits, [&service, &handle](const score::Request& request) -> std::optional<score::Response> {
        // What fails here is answered by a worker, as it would be without
        // the page kept.
        if (!score::Service::NeedsDatabase(request)) return handle(request);
        try {
          return service.AtOnce(request);
        } catch (const std::exception&) {
          return std::nullopt;
        }
      },
      score::Service::Unavailable, score::Service::Refused);
  http = &server;
  std::unique_ptr<score::HttpServer> metricsServer;
  int port = 0;
  try {
    port = server.Listen(options.host, options.port);
    if (!options.metricsHost.empty()) {
      score::HttpLimits few;
      few.threads = 1;
      few.connections = 64;
      few.perClient = 16;
      metricsServer = std::make_unique<score::HttpServer>(
          [&metrics](const score::Request& request) { return metrics.Handle(request); }, nullptr, few);
      const int metricsPort = metricsServer->Listen(options.metricsHost, options.metricsPort);
      std::fprintf(stderr, "score-server: metrics on http://%s:%d/metrics\n",
                   options.metricsHost.find(':') == std::string::npos ? options.metricsHost.c_str()
                                                                      : ("[" + options.metricsHost + "]").c_str(),
                   metricsPort);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "score-server: %s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "score-server: listening on http://%s:%d/ with %s\n",
               options.host.find(':') == std::string::npos ? options.host.c_str()
                                                           : ("[" + options.host + "]").c_str(),
               port, options.db.find("://") == std::string::npos ? options.db.c_str() : "PostgreSQL");
  if (web) std::fprintf(stderr, "score-server: serving the web build %s at /play/\n", web->Folder().c_str());

  char byte = 0;
  while (read(stopPipe[0], &byte, 1) < 0 && errno == EINTR) {
  }
  if (metricsServer) metricsServer->Stop();
  server.Stop();
  std::fprintf(stderr, "score-server: stopped\n");
  return 0;
}

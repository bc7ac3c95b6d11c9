// The deployment's own files (server/deploy/) run by a test: the server's
// options as the systemd unit passes them, and nginx running the site, the
// proxy snippet and the events settings, copied to a temporary folder with
// only what differs between this test and a machine substituted: the
// listen ports (plain HTTP on the loopback: the test speaks no TLS, so the
// listen lines lose "ssl http2", the certificate lines go and so do the
// IPv6 listens), the log paths and the upstream's servers. The main
// nginx.conf stands in for the machine's (as Debian's does: master and a
// worker per core) and includes the shipped files where the README says.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/child_process.h"
#include "tests/server/raw_client.h"

inline int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
  socklen_t length = sizeof any;
  getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length);
  close(fd);
  return ntohs(any.sin_port);
}

inline bool HaveNginx() { return access("/usr/sbin/nginx", X_OK) == 0; }

// The options the shipped unit starts the server with, for RunningServer
// (which gives the listening address and the database itself): the
// metrics on a free port of the unit's address and the games list where
// the unit's copy comes from; all else as shipped.
inline std::vector<std::string> ShippedServerOptions() {
  const std::string unit = ReadWholeFile(QB_SOURCE_DIR "/server/deploy/score-server.service");
  const size_t start = unit.find("\nExecStart=");
  if (start == std::string::npos) return {"--the-unit-has-no-ExecStart"};
  std::istringstream line(unit.substr(start + 11, unit.find('\n', start + 1) - start - 11));
  std::string word;
  line >> word;  // the program
  std::vector<std::string> options;
  while (line >> word) {
    if (!options.empty() && (options.back() == "--listen" || options.back() == "--db")) {
      options.pop_back();
      continue;
    }
    if (!options.empty() && options.back() == "--metrics-listen") word = word.substr(0, word.rfind(':')) + ":0";
    if (!options.empty() && options.back() == "--games") word = QB_SOURCE_DIR "/server/deploy/games.txt";
    options.push_back(word);
  }
  return options;
}

class ShippedNginx {
 public:
  // In front of the score servers listening on the loopback's `upstreams`.
  explicit ShippedNginx(const std::vector<int>& upstreams) {
    char pattern[] = "/tmp/score_nginxXXXXXX";
    folder_ = mkdtemp(pattern);
    // Workers drop root for "nobody", who must reach the temporary files.
    chmod(folder_.c_str(), 0755);
    port_ = FreePort();
    redirectPort_ = FreePort();
    const std::string deploy = std::string(QB_SOURCE_DIR) + "/server/deploy/";
    std::filesystem::create_directory(folder_ + "/snippets");
    std::filesystem::copy_file(deploy + "score-server-proxy.conf", folder_ + "/snippets/score-server-proxy.conf");
    std::filesystem::copy_file(deploy + "nginx-events.conf", folder_ + "/nginx-events.conf");
    std::ofstream(folder_ + "/scores.conf") << Site(ReadWholeFile(deploy + "scores.conf"), upstreams);
    if (!problem_.empty()) return;

    std::ofstream conf(folder_ + "/nginx.conf");
    conf << "daemon off;\nworker_processes auto;\nerror_log " << folder_ << "/error.log;\npid " << folder_
         << "/nginx.pid;\ninclude " << folder_ << "/nginx-events.conf;\nhttp {\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
      conf << "  " << temp << "_temp_path " << folder_ << "/" << temp << ";\n";
    }
    conf << "  include " << folder_ << "/scores.conf;\n}\n";
    conf.close();
    if (!process_.Start({"nginx", "-e", folder_ + "/error.log", "-p", folder_, "-c", folder_ + "/nginx.conf"},
                        folder_ + "/out.log")) {
      problem_ = "nginx does not start";
      return;
    }
    for (int i = 0; i < 500 && !up_; ++i) {
      RawClient probe(port_);
      up_ = probe.Connected();
      if (!up_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!up_) problem_ = "nginx does not listen";
  }
  ~ShippedNginx() {
    process_.Signal(SIGTERM);
    process_.Wait();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  ShippedNginx(const ShippedNginx&) = delete;
  ShippedNginx& operator=(const ShippedNginx&) = delete;

  bool Up() const { return up_; }
  // The TLS site's port, and the plain one that only redirects.
  int Port() const { return port_; }
  int RedirectPort() const { return redirectPort_; }
  // Why it is not up: a substitution the shipped site no longer fits, or
  // nginx's own complaint.
  std::string Problem() const { return problem_ + "\n" + ReadWholeFile(folder_ + "/error.log"); }
  std::string AccessLog() const { return ReadWholeFile(folder_ + "/scores.access.log"); }

 private:
  // The shipped site with this machine's ports, paths and upstreams. Each
  // substitution must happen as often as expected, or the test would run
  // something other than what ships.
  std::string Site(const std::string& shipped, const std::vector<int>& upstreams) {
    std::istringstream in(shipped);
    std::string out, line;
    int plainListens = 0, tlsListens = 0, certificates = 0, logs = 0, servers = 0;
    while (std::getline(in, line)) {
      const std::string trimmed = line.substr(std::min(line.find_first_not_of(' '), line.size()));
      const std::string indent = line.substr(0, line.size() - trimmed.size());
      if (trimmed == "listen 80;") {
        ++plainListens;
        line = indent + "listen 127.0.0.1:" + std::to_string(redirectPort_) + ";";
      } else if (trimmed == "listen 443 ssl http2;") {
        ++tlsListens;
        line = indent + "listen 127.0.0.1:" + std::to_string(port_) + ";";
      } else if (trimmed.starts_with("listen [::]:")) {
        continue;
      } else if (trimmed.starts_with("ssl_certificate")) {
        ++certificates;
        continue;
      } else if (trimmed == "server 127.0.0.1:8080;") {
        ++servers;
        line.clear();
        for (int port : upstreams) line += indent + "server 127.0.0.1:" + std::to_string(port) + ";\n";
        line.pop_back();
      }
      for (size_t at = line.find("/var/log/nginx/"); at != std::string::npos; at = line.find("/var/log/nginx/")) {
        ++logs;
        line.replace(at, 15, folder_ + "/");
      }
      out += line + "\n";
    }
    if (plainListens != 1 || tlsListens != 1 || certificates != 2 || logs < 1 || servers != 1) {
      problem_ = "the shipped site no longer has the lines this test substitutes";
    }
    return out;
  }

  std::string folder_, problem_;
  ChildProcess process_;
  int port_ = 0, redirectPort_ = 0;
  bool up_ = false;
};

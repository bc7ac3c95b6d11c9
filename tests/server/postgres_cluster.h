// A throwaway PostgreSQL cluster for one test process: initdb and pg_ctl in
// a temporary folder, reachable only on a Unix socket there, run by an
// unprivileged user when the tests run as root. Stopped when the process ends.
#pragma once

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/server/child_process.h"

class PostgresCluster {
 public:
  // The cluster of this process, started on first use; null when PostgreSQL
  // is not installed or does not start (the reason is in Problem()).
  static PostgresCluster* Get() {
    static PostgresCluster cluster;
    return cluster.address_.empty() ? nullptr : &cluster;
  }
  static std::string Problem() { return problem_; }

  // The database server itself, stopped and started again by a test.
  bool Start() {
    const std::string options = "-k " + folder_ + " -p " + port_ + " -c listen_addresses= -c fsync=off";
    started_ = Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-l", folder_ + "/server.log", "-o", options, "-w",
                    "start"}) == 0;
    return started_;
  }
  void Stop() {
    Run({bin_ + "/pg_ctl", "-D", folder_ + "/data", "-m", "immediate", "-w", "stop"});
    started_ = false;
  }

  // Sends a signal to the server and all its processes: SIGSTOP freezes the
  // database as a hung host would, SIGCONT thaws it.
  void SignalAll(int signal) {
    const std::string first = ReadWholeFile(folder_ + "/data/postmaster.pid");
    const pid_t postmaster = std::atoi(first.c_str());
    if (postmaster <= 0) return;
    kill(postmaster, signal);
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string stat = ReadWholeFile(entry.path().string() + "/stat");
      const size_t close = stat.rfind(')');
      if (close == std::string::npos) continue;
      // "pid (name) state ppid ..."
      const pid_t parent = std::atoi(stat.c_str() + close + 4);
      if (parent == postmaster) kill(std::atoi(stat.c_str()), signal);
    }
  }

  // A new, empty database on the cluster, as a postgresql:// address.
  std::string NewDatabase() {
    const std::string name = std::string("t").append(std::to_string(++databases_));
    if (Run({bin_ + "/createdb", "-h", folder_, "-p", port_, "-U", "scores", name}) != 0) return "";
    return Address(name);
  }

 private:
  PostgresCluster() {
    bin_ = FindBin();
    if (bin_.empty()) {
      problem_ = "PostgreSQL is not installed";
      return;
    }
    char pattern[] = "/tmp/score_pgXXXXXX";
    folder_ = mkdtemp(pattern);
    port_ = std::to_string(20000 + getpid() % 20000);
    if (geteuid() == 0) {
      // The server refuses to run as root.
      const passwd* nobody = getpwnam("nobody");
      if (!nobody || chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
        problem_ = "cannot hand the cluster's folder to user nobody";
        return;
      }
      asUser_ = {"runuser", "-u", "nobody", "--"};
    }
    const std::string data = folder_ + "/data";
    if (Run({bin_ + "/initdb", "-D", data, "-U", "scores", "-A", "trust", "--no-sync", "-E", "UTF8",
             "--locale=C"}) != 0) {
      problem_ = "initdb failed: " + ReadWholeFile(folder_ + "/log");
      return;
    }
    if (!Start()) {
      problem_ = "pg_ctl start failed: " + ReadWholeFile(folder_ + "/server.log");
      return;
    }
    address_ = Address("postgres");
  }
  ~PostgresCluster() {
    if (started_) Stop();
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }

  std::string Address(const std::string& database) const {
    return "postgresql://scores@/" + database + "?host=" + folder_ + "&port=" + port_;
  }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), asUser_.begin(), asUser_.end());
    // In its own folder: the unprivileged user may not enter the test's.
    return RunToEnd(args, folder_ + "/log", "", folder_);
  }

  static std::string FindBin() {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
      if (std::filesystem::exists(entry.path() / "bin/initdb")) found.push_back((entry.path() / "bin").string());
    }
    std::sort(found.begin(), found.end());
    return found.empty() ? "" : found.back();
  }

  std::string bin_, folder_, port_, address_;
  std::vector<std::string> asUser_;
  bool started_ = false;
  int databases_ = 0;
  static inline std::string problem_;
};

// Where a test of one backend ("sqlite" or "postgres") keeps its database:
// a file in a new temporary folder (returned in `folder`, for the test to
// remove), or a new database on this process's cluster. Empty when
// PostgreSQL cannot run (PostgresCluster::Problem() says why).
inline std::string ThrowawayDatabase(const std::string& backend, std::string& folder) {
  if (backend == "sqlite") {
    char pattern[] = "/tmp/score_dbXXXXXX";
    folder = mkdtemp(pattern);
    return folder + "/scores.db";
  }
  PostgresCluster* cluster = PostgresCluster::Get();
  return cluster ? cluster->NewDatabase() : "";
}

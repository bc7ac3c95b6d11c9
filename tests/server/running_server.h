// The built score-server running on a free port of the loopback, with its
// database in a temporary folder, and an HTTP client for it.
#pragma once

#include <httplib.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/child_process.h"

class RunningServer {
 public:
  // db empty: a SQLite file in the server's folder. Unless `extra` lists
  // its own, the server takes the tests' games (`testGames`) or, without
  // them, its own default.
  explicit RunningServer(std::vector<std::string> extra = {}, std::string db = "", bool testGames = true) {
    char pattern[] = "/tmp/score_testXXXXXX";
    folder_ = mkdtemp(pattern);
    db_ = db.empty() ? folder_ + "/scores.db" : db;
    log_ = folder_ + "/server.log";
    std::vector<std::string> args = {SCORE_SERVER_EXE, "--listen", "127.0.0.1:0", "--db", db_};
    if (testGames && std::find(extra.begin(), extra.end(), "--games") == extra.end()) {
      // G0 to G119 fill the front page's pages.
      std::ofstream games(folder_ + "/games.txt");
      games << "Quibbleton\nQ\nR\nOther\nBig Game\n";
      for (int i = 0; i < 120; ++i) games << 'G' << i << '\n';
      args.insert(args.end(), {"--games", folder_ + "/games.txt"});
    }
    args.insert(args.end(), extra.begin(), extra.end());
    if (!process_.Start(args, log_)) return;
    const std::regex listening("listening on http://[^ ]*:([0-9]+)/");
    for (int i = 0; i < 1000 && port_ == 0; ++i) {
      std::smatch m;
      const std::string text = ReadWholeFile(log_);
      if (std::regex_search(text, m, listening)) {
        port_ = std::stoi(m[1]);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  ~RunningServer() {
    process_.Signal(SIGKILL);
    process_.Wait();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

  bool Up() const { return port_ != 0; }
  int Port() const { return port_; }
  const std::string& Database() const { return db_; }
  std::string Log() const { return ReadWholeFile(log_); }
  ChildProcess& Process() { return process_; }

  // A fresh connection each time, like a browser opening a link.
  httplib::Result Get(const std::string& target) const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(10, 0);
    return client.Get(target.c_str());
  }
  // The path and query of an address the launcher builds.
  std::string Server() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  std::string folder_, db_, log_;
  ChildProcess process_;
  int port_ = 0;
};

// Programs the server tests start: the built score-server and PostgreSQL's
// tools, each from an argument vector (no shell), standard error to a file.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }

  // Starts argv[0] (searched on PATH when it has no "/"), with standard
  // output appended to logPath and standard error to errorPath (the same
  // file when empty). Returns false when it cannot start.
  // A non-empty directory is the child's working directory.
  bool Start(const std::vector<std::string>& args, const std::string& logPath, const std::string& errorPath = "",
             const std::string& directory = "") {
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (errorPath.empty()) {
      posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
      posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    }
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return rc == 0;
  }

  // The exit code, or 128 + the signal that ended it.
  int Wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  void Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
  }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// Runs a program to its end; its exit code, or -1 when it cannot start.
inline int RunToEnd(const std::vector<std::string>& args, const std::string& logPath,
                    const std::string& errorPath = "", const std::string& directory = "") {
  ChildProcess child;
  if (!child.Start(args, logPath, errorPath, directory)) return -1;
  return child.Wait();
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

#include "platform/win/shell_exec.h"

#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/device/config.h"
#include "platform/posix/files.h"

extern char** environ;

namespace {

constexpr intptr_t kSuccess = 42;          // any value above 32 means success
constexpr intptr_t kFileNotFound = 2;      // SE_ERR_FNF
constexpr intptr_t kNoAssociation = 31;    // SE_ERR_NOASSOC

HINSTANCE Result(intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsUrl(const std::string& s) {
  return strncasecmp(s.c_str(), "http://", 7) == 0 || strncasecmp(s.c_str(), "https://", 8) == 0 ||
         strncasecmp(s.c_str(), "mailto:", 7) == 0;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool Record(const std::string& file, const char* verb, const char* parameters, const char* directory) {
  FILE* f = std::fopen(platform::GetConfig().shellRecord.c_str(), "a");
  if (!f) return false;
  std::fprintf(f, "%s\t%s\t%s\t%s\n", verb ? verb : "", file.c_str(), parameters ? parameters : "",
               directory ? directory : "");
  std::fclose(f);
  return true;
}

// Starts argv[0] with the argument vector, in directory, as its own session so it outlives us.
bool Spawn(const std::vector<std::string>& args, const std::string& directory) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  // Nobody asks how the child ended, but unwaited it would stay a zombie
  // until we exit: a thread waits for it (blocked, not polling).
  std::thread([pid] {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return true;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char* directory,
                        int) {
  if (!file || !*file) return Result(kFileNotFound);
  if (verb && *verb && strcasecmp(verb, "open") != 0) return Result(kNoAssociation);
  std::string target(file);

  if (IsUrl(target)) {
    if (!platform::GetConfig().shellRecord.empty())
      return Result(Record(target, "open", parameters, directory) ? kSuccess : kFileNotFound);
    return Result(Spawn({"xdg-open", target}, {}) ? kSuccess : kNoAssociation);
  }

  // A relative file is found from the working directory given, as the shell does.
  std::string dir = directory && *directory ? platform::MapPath(directory) : std::string();
  std::string path = target;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path[0] != '/' && !dir.empty()) path = dir + "/" + path;
  path = platform::MapPath(path.c_str());
  if (!IsExecutableFile(path) && path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".exe") == 0) {
    std::string bare = platform::MapPath(path.substr(0, path.size() - 4).c_str());
    if (IsExecutableFile(bare)) path = bare;
  }

  if (!platform::GetConfig().shellRecord.empty())
    return Result(Record(target, "open", parameters, directory) ? kSuccess : kFileNotFound);
  if (!IsExecutableFile(path)) return Result(kFileNotFound);
  // The child starts in dir, so a relative path found from here would be
  // looked up again from there (and a bare name searched on PATH): hand it
  // the path it was found under, made absolute.
  if (path[0] != '/') {
    char here[4096];
    if (!::getcwd(here, sizeof here)) return Result(kFileNotFound);
    path = std::string(here) + "/" + path;
  }

  // The parameter string is one argument: the receiving program joins its
  // arguments with spaces again, so a path with spaces arrives whole.
  std::vector<std::string> args{path};
  if (parameters && *parameters) args.emplace_back(parameters);
  return Result(Spawn(args, dir) ? kSuccess : kFileNotFound);
}

#include "platform/win/shell_exec.h"

#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/device/config.h"
#include "platform/posix/files.h"
#include "platform/posix/process.h"

namespace {

constexpr intptr_t kSuccess = 42;          // any value above 32 means success
constexpr intptr_t kFileNotFound = 2;      // SE_ERR_FNF
constexpr intptr_t kNoAssociation = 31;    // SE_ERR_NOASSOC

// "/..." on the other systems, "C:/..." or "//server/..." on Windows.
bool IsAbsolute(const std::string& path) {
  return std::filesystem::path(path).is_absolute() || (!path.empty() && path[0] == '/');
}

HINSTANCE Result(intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsUrl(const std::string& s) {
  return strncasecmp(s.c_str(), "http://", 7) == 0 || strncasecmp(s.c_str(), "https://", 8) == 0 ||
         strncasecmp(s.c_str(), "mailto:", 7) == 0;
}

bool Record(const std::string& file, const char* verb, const char* parameters, const char* directory) {
  FILE* f = std::fopen(platform::GetConfig().shellRecord.c_str(), "a");
  if (!f) return false;
  std::fprintf(f, "%s\t%s\t%s\t%s\n", verb ? verb : "", file.c_str(), parameters ? parameters : "",
               directory ? directory : "");
  std::fclose(f);
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
    return Result(platform::OpenWithSystem(target) ? kSuccess : kNoAssociation);
  }

  // A relative file is found from the working directory given, as the shell does.
  std::string dir = directory && *directory ? platform::MapPath(directory) : std::string();
  std::string path = target;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (!IsAbsolute(path) && !dir.empty()) path = dir + "/" + path;
  path = platform::MapPath(path.c_str());
  if (!platform::IsExecutableFile(path) && path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".exe") == 0) {
    std::string bare = platform::MapPath(path.substr(0, path.size() - 4).c_str());
    if (platform::IsExecutableFile(bare)) path = bare;
  }

  if (!platform::GetConfig().shellRecord.empty())
    return Result(Record(target, "open", parameters, directory) ? kSuccess : kFileNotFound);
  if (!platform::IsExecutableFile(path)) return Result(kFileNotFound);
  // The child starts in dir, so a relative path found from here would be
  // looked up again from there (and a bare name searched on PATH): hand it
  // the path it was found under, made absolute.
  if (!IsAbsolute(path)) {
    const std::string here = platform::CurrentDirectory();
    if (here.empty()) return Result(kFileNotFound);
    path = here + "/" + path;
  }

  // The parameter string is one argument: the receiving program joins its
  // arguments with spaces again, so a path with spaces arrives whole.
  std::vector<std::string> args{path};
  if (parameters && *parameters) args.emplace_back(parameters);
  return Result(platform::StartDetachedProcess(args, dir) ? kSuccess : kFileNotFound);
}

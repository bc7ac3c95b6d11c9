// ShellExecuteA in a browser page: a web address opens in a new tab; a
// program is another page of the same site (the launcher's page, or a
// game's beside it), which the page navigates to with the parameters.
#include <string.h>
#include <strings.h>

#include <string>

#include "platform/win/shell_exec.h"
#include "platform/web/web_page.h"

namespace {

constexpr intptr_t kSuccess = 42;        // any value above 32 means success
constexpr intptr_t kFileNotFound = 2;    // SE_ERR_FNF
constexpr intptr_t kNoAssociation = 31;  // SE_ERR_NOASSOC

HINSTANCE Result(intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

// A program is named by its ".exe" (before any query).
bool NamesProgram(const char* s) {
  const size_t length = strcspn(s, "?");
  return length >= 4 && strncasecmp(s + length - 4, ".exe", 4) == 0;
}

// A web address, or a path from the root of the page's own site: the web
// build's setup.ini sends "more games" and the uploads there ("/",
// "/cgi-bin/hiscore.cgi?..."), since the page is served by the score server.
bool IsAddress(const char* s) {
  return strncasecmp(s, "http://", 7) == 0 || strncasecmp(s, "https://", 8) == 0 || strncasecmp(s, "mailto:", 7) == 0 ||
         (s[0] == '/' && s[1] != '/' && !NamesProgram(s));
}

// "Quibbleton\Quibbleton.exe", "../Lobbo.exe" -> "Quibbleton", "Lobbo".
std::string ProgramOf(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  path = path.substr(path.find_last_of('/') + 1);
  if (path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".exe") == 0) path.resize(path.size() - 4);
  return path;
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char*, int) {
  if (!file || !*file) return Result(kFileNotFound);
  if (verb && *verb && strcasecmp(verb, "open") != 0) return Result(kNoAssociation);
  if (IsAddress(file)) return Result(qb_page_open_address(file) ? kSuccess : kNoAssociation);
  const std::string program = ProgramOf(file);
  if (program.empty()) return Result(kFileNotFound);
  qb_page_open_program(program.c_str(), parameters ? parameters : "");
  return Result(kSuccess);
}

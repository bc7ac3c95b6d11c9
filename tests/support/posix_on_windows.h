// The few POSIX calls the tests use to make folders and set variables, in
// the C runtime's terms, for the Windows build of the tests (given to every
// test source there with -include; MinGW has neither mkdtemp nor setenv).
#pragma once
#ifdef _WIN32

#include <direct.h>
#include <io.h>

#include <cstdlib>
#include <cstring>

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0 || _mkdir(pattern) != 0) return nullptr;
  return pattern;
}
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

#endif

// This process and the programs it starts, on Windows: CreateProcess with a
// command line quoted as the C runtime splits it, never a shell.
#include "platform/posix/process.h"

#include <windows.h>

#include <cstdlib>
#include <cwctype>

#include "platform/winos/command_line.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

// One argument as the C runtime's command-line splitter reads it back:
// quoted when it holds a space, a tab or a quote (or is empty), each quote
// escaped and the backslashes before a quote or the closing one doubled.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

std::wstring CommandLineOf(const std::vector<std::string>& args) {
  std::wstring line;
  for (const std::string& arg : args) {
    if (!line.empty()) line += L' ';
    line += Quoted(Wide(arg));
  }
  return line;
}

bool StartDetachedProcess(const std::vector<std::string>& args, const std::string& directory) {
  if (args.empty()) return false;
  std::wstring line = CommandLineOf(args);
  const std::wstring dir = Wide(directory);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  // The child gets our standard handles (a console's, or a test's files) and
  // lives on after us; nobody waits for it, so its handles are let go at once.
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, nullptr,
                      dir.empty() ? nullptr : dir.c_str(), &startup, &started))
    return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}

bool OpenWithSystem(const std::string& target) {
  const auto result = reinterpret_cast<intptr_t>(
      ShellExecuteW(nullptr, L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

std::string OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return ForwardSlashes(Utf8(path));
    }
    path.resize(path.size() * 2);
  }
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  // The C runtime's copy (getenv) and the process's (what children inherit) both.
  return _wputenv_s(Wide(name).c_str(), Wide(value).c_str()) == 0;
}

bool IsExecutableFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  return path.size() > 4 && CompareStringOrdinal(Wide(path.substr(path.size() - 4)).c_str(), -1, L".exe", -1,
                                                 TRUE) == CSTR_EQUAL;
}

}  // namespace platform

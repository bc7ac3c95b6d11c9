#include "platform/win/profile.h"

#include <strings.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/file_read.h"
#include "platform/posix/file_save.h"
#include "platform/posix/files.h"

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool SameName(std::string_view a, const char* b) {
  size_t n = std::strlen(b);
  return a.size() == n && (n == 0 || strncasecmp(a.data(), b, n) == 0);
}

struct IniFile {
  std::vector<std::string> lines;  // without line ends
  const char* eol = "\n";         // the file's own line end, for writing it back
};

// Lines as Windows reads them: CR LF, a lone LF and a lone CR (an old Mac
// file) each end one.
IniFile ParseIni(std::string_view text) {
  IniFile ini;
  if (text.find("\r\n") != std::string_view::npos) ini.eol = "\r\n";
  else if (text.find('\r') != std::string_view::npos && text.find('\n') == std::string_view::npos) ini.eol = "\r";
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = text.find_first_of("\r\n", pos);
    ini.lines.emplace_back(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    if (end == std::string_view::npos) break;
    pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return ini;
}

// A settings file is read whole, but only a regular one of a sensible size:
// one linked to an endless device must not fill the memory.
bool ReadText(const std::string& path, std::string* text) {
  return platform::ReadRegularFile(path, platform::kMaxSettingsFile, text) == platform::ReadResult::kOk;
}

// The section name of a "[name]" line, or false.
bool SectionHeader(std::string_view line, std::string_view* name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  *name = Trim(line.substr(1, close - 1));
  return true;
}

// Splits "key = value"; false for comments and lines without '='.
bool KeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  *key = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  return true;
}

// Index range [begin, end) of the body of the first section with this name; begin = header index.
bool FindSection(const IniFile& ini, const char* section, size_t* header, size_t* end) {
  for (size_t i = 0; i < ini.lines.size(); ++i) {
    std::string_view name;
    if (!SectionHeader(ini.lines[i], &name) || !SameName(name, section)) continue;
    *header = i;
    size_t j = i + 1;
    std::string_view other;
    while (j < ini.lines.size() && !SectionHeader(ini.lines[j], &other)) ++j;
    *end = j;
    return true;
  }
  return false;
}

DWORD CopyOut(std::string_view text, char* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  // A NUL inside the file ends the value, as a C string would.
  size_t n = text.empty() ? 0 : strnlen(text.data(), text.size());
  if (n >= size) n = size - 1;
  if (n > 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

}  // namespace

namespace platform {

DWORD GetProfileStringFromText(std::string_view text, const char* section, const char* key,
                               const char* defaultValue, char* buffer, DWORD size) {
  // Windows drops trailing blanks from the default.
  std::string_view fallback = defaultValue ? std::string_view(defaultValue) : std::string_view();
  while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t')) fallback.remove_suffix(1);
  if (!section || !key) return CopyOut(fallback, buffer, size);

  const IniFile ini = ParseIni(text);
  size_t header, end;
  if (FindSection(ini, section, &header, &end)) {
    for (size_t i = header + 1; i < end; ++i) {
      std::string_view k, v;
      if (!KeyLine(ini.lines[i], &k, &v) || !SameName(k, key)) continue;
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return CopyOut(v, buffer, size);
    }
  }
  return CopyOut(fallback, buffer, size);
}

std::string SetProfileStringInText(std::string_view text, const char* section, const char* key, const char* value) {
  if (!section) return std::string(text);
  IniFile ini = ParseIni(text);
  size_t header, end;
  bool hasSection = FindSection(ini, section, &header, &end);
  if (!key) {
    if (hasSection) ini.lines.erase(ini.lines.begin() + static_cast<long>(header), ini.lines.begin() + static_cast<long>(end));
  } else {
    std::string line = std::string(key) + "=" + (value ? value : "");
    bool done = false;
    if (hasSection) {
      for (size_t i = header + 1; i < end && !done; ++i) {
        std::string_view k, v;
        if (!KeyLine(ini.lines[i], &k, &v) || !SameName(k, key)) continue;
        if (value)
          ini.lines[i] = line;
        else
          ini.lines.erase(ini.lines.begin() + static_cast<long>(i));
        done = true;
      }
      if (!done && value) {
        // After the section's last non-blank line.
        size_t at = end;
        while (at > header + 1 && Trim(ini.lines[at - 1]).empty()) --at;
        ini.lines.insert(ini.lines.begin() + static_cast<long>(at), line);
      }
    } else if (value) {
      ini.lines.push_back(std::string("[") + section + "]");
      ini.lines.push_back(line);
    }
  }

  std::string out;
  for (const std::string& l : ini.lines) {
    out += l;
    out += ini.eol;
  }
  return out;
}

}  // namespace platform

namespace platform {
std::string ReadProfileText(const char* fileName) {
  std::string text;
  if (fileName) ReadText(MapPath(fileName), &text);  // a missing file reads as an empty one
  return text;
}
}  // namespace platform

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                               DWORD size, const char* fileName) {
  const std::string text = platform::ReadProfileText(fileName);
  return platform::GetProfileStringFromText(text, fileName ? section : nullptr, key, defaultValue, buffer, size);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName) {
  const platform::ProfileWrite write{section, key, value};
  return platform::WriteProfileStrings(&write, 1, fileName);
}

namespace platform {

BOOL WriteProfileStrings(const ProfileWrite* writes, size_t count, const char* fileName) {
  if (!fileName || !writes) return FALSE;
  for (size_t i = 0; i < count; ++i)
    if (!writes[i].section) return FALSE;
  // Read, changed and written under the file's lock, so a write of the
  // other program in between is kept.
  const bool ok = RewriteFile(MapPath(fileName), kMaxSettingsFile,
                              [&](ReadResult read, const std::string& old, std::string* out) {
                                // A file too large to read is not cut down to these keys.
                                if (read == ReadResult::kTooLarge || read == ReadResult::kFailed) {
                                  errno = EFBIG;
                                  return false;
                                }
                                *out = old;
                                bool changed = false;
                                for (size_t i = 0; i < count; ++i) {
                                  const ProfileWrite& w = writes[i];
                                  // Deleting from a file that has nothing is no write at all.
                                  if (read != ReadResult::kOk && (!w.key || !w.value)) continue;
                                  *out = SetProfileStringInText(*out, w.section, w.key, w.value);
                                  changed = true;
                                }
                                if (!changed) {
                                  errno = 0;
                                  return false;
                                }
                                return true;
                              });
  // Nothing to change (deleting from a missing file) is no failure.
  return ok || errno == 0 ? TRUE : FALSE;
}

}  // namespace platform

#include "server/static_site.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

#include "server/inline_scripts.h"
#include "server/pages.h"
#include "server/web_paths.h"

namespace score {
namespace {

struct Kind {
  std::string_view extension;
  const char* type;
  bool compressible;  // worth a precompressed sibling
};

// The kinds of file the web build holds; anything else is not served.
constexpr std::array<Kind, 13> kKinds = {{
    {".html", "text/html; charset=utf-8", true},
    {".js", "text/javascript; charset=utf-8", true},
    {".wasm", "application/wasm", true},
    {".data", "application/octet-stream", true},
    {".bmp", "image/bmp", true},
    {".png", "image/png", false},
    {".wav", "audio/wav", true},
    {".mp3", "audio/mpeg", false},
    {".ini", "text/plain; charset=utf-8", true},
    {".json", "application/json", true},
    {".css", "text/css; charset=utf-8", true},
    {".ico", "image/x-icon", true},
    {".webmanifest", "application/manifest+json", true},
}};

const Kind* KindOf(std::string_view name) {
  for (const Kind& kind : kKinds) {
    if (name.size() > kind.extension.size() && name.ends_with(kind.extension)) return &kind;
  }
  return nullptr;
}

// A regular file of at most the limit, never opened through a link (nor
// waited on: a FIFO opens without blocking, then is refused by its type).
std::shared_ptr<FileBody> OpenPlain(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  auto file = std::make_shared<FileBody>(fd);
  if (fstat(fd, &file->info) != 0 || !S_ISREG(file->info.st_mode) ||
      static_cast<uint64_t>(file->info.st_size) > StaticSite::kMaxFileBytes) {
    return nullptr;
  }
  return file;
}

bool ReadAll(const FileBody& file, std::string& out) {
  out.resize(static_cast<size_t>(file.info.st_size));
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t n = pread(file.fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// A strong validator from the file's identity and time: a rebuilt file (or
// another of its codings) gets another, and a 304 needs no read.
std::string EntityTag(const struct stat& info) {
  char text[96];
  std::snprintf(text, sizeof text, "\"%llx-%llx-%llx-%lx\"", static_cast<unsigned long long>(info.st_ino),
                static_cast<unsigned long long>(info.st_size), static_cast<unsigned long long>(info.st_mtim.tv_sec),
                static_cast<long>(info.st_mtim.tv_nsec));
  return text;
}

// If-None-Match: "*" or a list holding the tag (weak or strong, as a GET
// compares them).
bool Matches(std::string_view header, std::string_view tag) {
  if (header.find('*') != std::string_view::npos) return true;
  for (size_t at = header.find(tag); at != std::string_view::npos; at = header.find(tag, at + 1)) {
    const size_t end = at + tag.size();
    if (end == header.size() || header[end] == ',' || header[end] == ' ') return true;
  }
  return false;
}

Response NotFound() {
  Response r;
  r.status = 404;
  r.body = MessagePage("Not found", "There is no page at this address.");
  return r;
}

Response Redirect(std::string location) {
  Response r;
  r.status = 301;
  r.body = MessagePage("Moved", "This page is at " + location + ".");
  r.headers.emplace_back("Location", std::move(location));
  return r;
}

// True when `path` (a real path) lies inside `root`.
bool Inside(const std::string& path, const std::string& root) {
  return path == root || (path.size() > root.size() && path.starts_with(root) && path[root.size()] == '/');
}

}  // namespace

FileBody::~FileBody() { close(fd); }

std::string StaticSite::Policy(const std::vector<std::string>& inlineScripts) {
  std::string policy = "default-src 'none'; script-src 'self' 'wasm-unsafe-eval'";
  for (const std::string& hash : inlineScripts) policy += " " + hash;
  return policy +
         "; connect-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; manifest-src 'self';"
         " worker-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";
}

StaticSite::StaticSite(const std::string& folder) {
  char resolved[PATH_MAX];
  struct stat info {};
  if (!realpath(folder.c_str(), resolved) || stat(resolved, &info) != 0 || !S_ISDIR(info.st_mode) ||
      access(resolved, R_OK | X_OK) != 0) {
    throw std::runtime_error(folder + " is not a folder that can be read");
  }
  root_ = resolved;
}

Response StaticSite::Serve(const Request& request, std::string_view path, std::string_view query) const {
  if (path.size() < kPlayPath.size()) return Redirect(std::string(kPlayPath));
  const std::string_view escaped = path.substr(kPlayPath.size());
  const std::optional<WebTarget> target = MapWebPath(escaped);
  if (!target) return NotFound();
  // Links inside the build may be followed, as long as they stay inside.
  char resolved[PATH_MAX];
  const std::string wanted = target->relative.empty() ? root_ : root_ + "/" + target->relative;
  struct stat info {};
  if (!realpath(wanted.c_str(), resolved) || !Inside(resolved, root_) || stat(resolved, &info) != 0) {
    return NotFound();
  }
  if (S_ISDIR(info.st_mode)) {
    // A folder is its page; its address ends with "/" so the page's own
    // relative links lead into it.
    if (!target->directory) {
      std::string location(path);
      location += '/';
      if (!query.empty()) location.append("?").append(query);
      return Redirect(std::move(location));
    }
    return ServeFile(request, target->relative.empty() ? "index.html" : target->relative + "/index.html", query);
  }
  if (target->directory) return NotFound();
  return ServeFile(request, target->relative, query);
}

Response StaticSite::ServeFile(const Request& request, const std::string& relative, std::string_view query) const {
  const Kind* kind = KindOf(relative);
  if (!kind) return NotFound();
  char resolved[PATH_MAX];
  const std::string wanted = root_ + "/" + relative;
  if (!realpath(wanted.c_str(), resolved) || !Inside(resolved, root_)) return NotFound();
  std::shared_ptr<FileBody> chosen = OpenPlain(resolved);
  if (!chosen) return NotFound();

  Response r;
  r.contentType = kind->type;
  // A page's policy names its inline scripts, read from the page itself
  // (not its compressed sibling).
  std::vector<std::string> inlineScripts;
  std::string page;
  if (kind->extension == ".html" && static_cast<uint64_t>(chosen->info.st_size) <= kMaxPageBytes && ReadAll(*chosen, page)) {
    inlineScripts = InlineScriptHashes(page);
  }
  if (kind->compressible) {
    r.headers.emplace_back("Vary", "Accept-Encoding");
    // Brotli first where the client likes it at least as well as gzip.
    struct Coding {
      const char* name;
      const char* suffix;
      double quality;
    };
    Coding codings[] = {{"br", ".br", CodingQuality(request.acceptEncoding, "br")},
                        {"gzip", ".gz", CodingQuality(request.acceptEncoding, "gzip")}};
    if (codings[1].quality > codings[0].quality) std::swap(codings[0], codings[1]);
    for (const Coding& coding : codings) {
      if (coding.quality <= 0) continue;
      // A sibling stands for the file only when it is not older, so a
      // rebuilt file is never hidden behind its last build's compression.
      std::shared_ptr<FileBody> packed = OpenPlain(std::string(resolved) + coding.suffix);
      if (packed && packed->info.st_mtim.tv_sec >= chosen->info.st_mtim.tv_sec) {
        r.headers.emplace_back("Content-Encoding", coding.name);
        chosen = std::move(packed);
        break;
      }
    }
  }
  const std::string fileName = relative.substr(relative.rfind('/') + 1);
  const bool versioned = IsVersioned(fileName, query) && !relative.ends_with(".html");
  r.headers.emplace_back("Cache-Control", versioned ? "public, max-age=31536000, immutable" : "no-cache");
  const std::string tag = EntityTag(chosen->info);
  r.headers.emplace_back("ETag", tag);
  r.headers.emplace_back("Content-Security-Policy", Policy(inlineScripts));
  if (!request.ifNoneMatch.empty() && Matches(request.ifNoneMatch, tag)) {
    r.status = 304;
    return r;
  }
  r.file = std::move(chosen);
  return r;
}

bool StaticSite::HasGame(std::string_view game) const {
  std::string escaped;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const unsigned char c : game) {
    escaped += '%';
    escaped += kHex[c >> 4];
    escaped += kHex[c & 15];
  }
  const std::optional<WebTarget> target = MapWebPath(escaped);
  if (!target || target->relative.find('/') != std::string::npos) return false;
  char resolved[PATH_MAX];
  const std::string page = root_ + "/" + target->relative + "/index.html";
  return realpath(page.c_str(), resolved) && Inside(resolved, root_) && OpenPlain(resolved) != nullptr;
}

std::unique_ptr<StaticSite> OpenWebBuild(const std::string& option) {
  if (option == "none") return nullptr;
  if (!option.empty()) return std::make_unique<StaticSite>(option);
  char program[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
  if (n <= 0) return nullptr;
  std::string beside(program, static_cast<size_t>(n));
  beside = beside.substr(0, beside.rfind('/') + 1) + "web";
  struct stat info {};
  if (stat((beside + "/index.html").c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  return std::make_unique<StaticSite>(beside);
}

}  // namespace score

// The web build of the programs, served under /play/: the launcher's page
// at /play/ and each game's at /play/NAME/. Files are served as the build
// wrote them, with a precompressed sibling ("x.wasm.gz", "x.wasm.br") when
// the client takes it; only the build's own kinds of file are served, never
// a folder's listing, nothing outside the folder.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/service.h"

namespace score {

// A regular file open for reading, closed with the last answer that holds
// it. The HTTP layer sends it from the disk, so a slow client of a large
// file holds no copy of it in memory.
struct FileBody {
  explicit FileBody(int opened) : fd(opened) {}
  ~FileBody();
  FileBody(const FileBody&) = delete;
  FileBody& operator=(const FileBody&) = delete;
  int fd;
  struct stat info {};
};

class StaticSite {
 public:
  // Throws std::runtime_error when `folder` is not a folder that can be read.
  explicit StaticSite(const std::string& folder);

  // A GET or HEAD of "/play" or a path below "/play/".
  Response Serve(const Request& request, std::string_view path, std::string_view query) const;
  // True when the build holds the game's page, NAME/index.html.
  bool HasGame(std::string_view game) const;
  const std::string& Folder() const { return root_; }

  // The pages run their own scripts (files of the build, and the inline
  // scripts of the page, by their hashes) and the programs' WebAssembly,
  // and fetch their data and the replay upload from this server; nothing
  // else. Their styles may be inline, and their icon a data: address. The
  // app's manifest and its service worker (which keeps the build for
  // offline play) are this server's files too.
  static std::string Policy(const std::vector<std::string>& inlineScripts);
  // Far above the programs' largest file (the game's data, a few MB).
  static constexpr size_t kMaxFileBytes = 64u << 20;
  // A page larger than this is served with no inline script allowed.
  static constexpr size_t kMaxPageBytes = 1u << 20;

 private:
  Response ServeFile(const Request& request, const std::string& relative, std::string_view query) const;

  std::string root_;  // the folder's real path, without links
};

// The web build a server serves, from its --web option: a folder, "none"
// for no build, or empty for the folder "web" beside the running program
// when it holds an index.html (and no build when it does not). Throws
// std::runtime_error when a folder named cannot be read.
std::unique_ptr<StaticSite> OpenWebBuild(const std::string& option);

}  // namespace score

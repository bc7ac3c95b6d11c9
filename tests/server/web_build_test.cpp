// The programs' web build served by the built server under /play/, read on
// plain sockets so that nothing tidies a path or a header on the way: the
// types, codings, cache lifetimes and validators a browser relies on, the
// policy that lets the pages run their WebAssembly, no way out of the
// build's folder, and the leaderboards' links to the games.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "launcher/upload_address.h"
#include "tests/server/fake_web_build.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"

namespace {

struct Answer {
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string Header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? "" : found->second;
  }
};

// One request on its own connection; `extra` are whole header lines.
Answer Ask(const RunningServer& server, const std::string& target, const std::string& extra = "",
           const std::string& method = "GET") {
  RawClient client(server.Port());
  client.Send(method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra + "\r\n");
  const std::string text = client.ReadAll(5);
  Answer answer;
  const size_t end = text.find("\r\n\r\n");
  if (text.size() < 12 || end == std::string::npos) return answer;
  answer.status = std::stoi(text.substr(9, 3));
  answer.body = text.substr(end + 4);
  for (size_t at = text.find("\r\n") + 2; at < end;) {
    const size_t next = text.find("\r\n", at);
    const std::string line = text.substr(at, next - at);
    std::string name = line.substr(0, line.find(':'));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    answer.headers[name] = line.substr(std::min(line.size(), line.find(':') + 2));
    at = next + 2;
  }
  return answer;
}

std::string Slurp(const std::string& path) { return ReadWholeFile(path); }

TEST(WebBuild, FilesComeWithTheirTypeCodingCacheLifetimeAndValidator) {
  FakeWebBuild build;
  const std::string game = build.Folder() + "/Quibbleton/";
  build.Write("web/Quibbleton/Quibbleton.wasm.gz", "gzip bytes");
  build.Write("web/Quibbleton/Quibbleton.wasm.br", "brotli bytes");
  build.Write("web/Quibbleton/Quibbleton.0123abcd.data", "data");
  RunningServer server({"--web", build.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();

  const Answer launcher = Ask(server, "/play/");
  EXPECT_EQ(launcher.status, 200);
  EXPECT_EQ(launcher.body, Slurp(build.Folder() + "/index.html"));
  EXPECT_EQ(launcher.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_EQ(launcher.Header("cache-control"), "no-cache");
  EXPECT_NE(launcher.Header("content-security-policy").find("script-src 'self' 'wasm-unsafe-eval'"),
            std::string::npos);
  EXPECT_EQ(Ask(server, "/play/Quibbleton/").body, Slurp(game + "index.html"));
  // Folders end with "/", so the page's relative links lead into them.
  EXPECT_EQ(Ask(server, "/play").Header("location"), "/play/");
  const Answer folder = Ask(server, "/play/Quibbleton?QB_SEED=4242");
  EXPECT_EQ(folder.status, 301);
  EXPECT_EQ(folder.Header("location"), "/play/Quibbleton/?QB_SEED=4242");

  // The client's codings choose the sibling; every answer says it varies.
  const std::vector<std::pair<std::string, std::string>> codings = {
      {"gzip, deflate, br", "brotli bytes"}, {"gzip", "gzip bytes"},        {"br;q=0, gzip", "gzip bytes"},
      {"gzip;q=0.5, br;q=0.4", "gzip bytes"}, {"", Slurp(game + "Quibbleton.wasm")}, {"gzip;q=0, br;q=0", Slurp(game + "Quibbleton.wasm")},
      {"identity", Slurp(game + "Quibbleton.wasm")}, {"*", "brotli bytes"},
  };
  for (const auto& [accepted, body] : codings) {
    const Answer wasm = Ask(server, "/play/Quibbleton/Quibbleton.wasm", "Accept-Encoding: " + accepted + "\r\n");
    EXPECT_EQ(wasm.body, body) << accepted;
    EXPECT_EQ(wasm.Header("content-type"), "application/wasm");
    EXPECT_EQ(wasm.Header("content-encoding"),
              body == "brotli bytes" ? "br" : body == "gzip bytes" ? "gzip" : "")
        << accepted;
    EXPECT_EQ(wasm.Header("vary"), "Accept-Encoding");
  }
  // A sibling older than its file is from an earlier build: not served.
  const timespec old[2] = {{1, 0}, {1, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (game + "Quibbleton.wasm.br").c_str(), old, 0), 0);
  EXPECT_EQ(Ask(server, "/play/Quibbleton/Quibbleton.wasm", "Accept-Encoding: br\r\n").body,
            Slurp(game + "Quibbleton.wasm"));

  // Versioned files are kept for good, the rest are asked about each time.
  const std::string forever = "public, max-age=31536000, immutable";
  EXPECT_EQ(Ask(server, "/play/Quibbleton/Quibbleton.js?v=0123abcd").Header("cache-control"), forever);
  EXPECT_EQ(Ask(server, "/play/Quibbleton/Quibbleton.js").Header("cache-control"), "no-cache");
  EXPECT_EQ(Ask(server, "/play/Quibbleton/?v=0123abcd").Header("cache-control"), "no-cache");
  const Answer hashed = Ask(server, "/play/Quibbleton/Quibbleton.0123abcd.data");
  EXPECT_EQ(hashed.Header("cache-control"), forever);
  EXPECT_EQ(hashed.Header("content-type"), "application/octet-stream");

  // An unchanged file costs an answer without a body; HEAD sends the head.
  const Answer js = Ask(server, "/play/Quibbleton/Quibbleton.js");
  ASSERT_FALSE(js.Header("etag").empty());
  const Answer again = Ask(server, "/play/Quibbleton/Quibbleton.js", "If-None-Match: " + js.Header("etag") + "\r\n");
  EXPECT_EQ(again.status, 304);
  EXPECT_EQ(again.body, "");
  EXPECT_EQ(again.Header("cache-control"), "no-cache");
  build.Write("web/Quibbleton/Quibbleton.js", "console.log('rebuilt, and longer');\n");
  EXPECT_EQ(Ask(server, "/play/Quibbleton/Quibbleton.js", "If-None-Match: " + js.Header("etag") + "\r\n").status, 200);
  const Answer head = Ask(server, "/play/Quibbleton/Quibbleton.wasm", "", "HEAD");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(head.Header("content-length"), std::to_string(FakeWebBuild::Module().size()));

  // The pages' policy is for /play/ alone.
  for (const char* other : {"/", "/games/Quibbleton", "/play/missing.js"}) {
    EXPECT_EQ(Ask(server, other).Header("content-security-policy").find("wasm"), std::string::npos) << other;
  }
}

// The build as an app: its manifest goes with the type browsers install by,
// and the pages' policy lets them take the manifest and start the service
// worker, both from this site only. Neither is kept by caches for long, so a
// new build's worker and manifest are seen at the next visit.
TEST(WebBuild, TheAppsManifestAndServiceWorkerAreAllowed) {
  FakeWebBuild build;
  build.Write("web/manifest.webmanifest", "{\"name\": \"Quibbleton\", \"start_url\": \"Quibbleton/\"}\n");
  build.Write("web/sw.js", "self.addEventListener('fetch', () => {});\n");
  RunningServer server({"--web", build.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();

  const Answer manifest = Ask(server, "/play/manifest.webmanifest");
  EXPECT_EQ(manifest.status, 200);
  EXPECT_EQ(manifest.body, Slurp(build.Folder() + "/manifest.webmanifest"));
  EXPECT_EQ(manifest.Header("content-type"), "application/manifest+json");
  EXPECT_EQ(manifest.Header("cache-control"), "no-cache");
  const Answer worker = Ask(server, "/play/sw.js");
  EXPECT_EQ(worker.status, 200);
  EXPECT_EQ(worker.Header("content-type"), "text/javascript; charset=utf-8");
  EXPECT_EQ(worker.Header("cache-control"), "no-cache");

  const std::string policy = Ask(server, "/play/Quibbleton/").Header("content-security-policy");
  EXPECT_NE(policy.find("manifest-src 'self';"), std::string::npos) << policy;
  EXPECT_NE(policy.find("worker-src 'self';"), std::string::npos) << policy;
  EXPECT_NE(policy.find("default-src 'none';"), std::string::npos) << policy;
}

TEST(WebBuild, NothingOutsideTheBuildNorAnyListingIsServed) {
  FakeWebBuild build;
  std::filesystem::create_directories(build.Folder() + "/empty");
  std::filesystem::create_symlink(build.Top() + "/secret.txt", build.Folder() + "/out.js");
  std::filesystem::create_symlink("../secret.txt", build.Folder() + "/Quibbleton/up.js");
  std::filesystem::create_symlink(build.Top(), build.Folder() + "/above");
  std::filesystem::create_symlink("Quibbleton/Quibbleton.js", build.Folder() + "/alias.js");
  build.Write("web/.hidden.js", "hidden");
  build.Write("web/notes.txt", "not a kind the build serves");
  build.Write("web/Quibbleton/Quibbleton.wasm.gz", "a sibling");
  ASSERT_EQ(mkfifo((build.Folder() + "/pipe.js").c_str(), 0644), 0);
  RunningServer server({"--web", build.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();

  const std::string secret = build.Top() + "/secret.txt";
  const std::vector<std::string> refused = {
      "/play/../secret.txt", "/play/%2e%2e/secret.txt", "/play/%2E%2E/secret.txt", "/play/Quibbleton/../../secret.txt",
      "/play/Quibbleton%2f..%2f..%2fsecret.txt", "/play/..%2fsecret.txt", "/play/..%5csecret.txt",
      "/play/Quibbleton\\..\\..\\secret.txt", "/play/%00", "/play/Quibbleton/index.html%00.js",
      "/play/" + secret, "/play/%2f" + secret.substr(1), "/play/out.js", "/play/Quibbleton/up.js",
      "/play/above/secret.txt", "/play/empty/", "/play/.hidden.js",
      "/play/notes.txt", "/play/Quibbleton/Quibbleton.wasm.gz", "/play/pipe.js", "/play/Quibbleton/index.html/",
      "/play/%", "/play/%zz", "/play/%c0%ae%c0%ae/secret.txt", "/play/./index.html", "/play/Quibbleton//index.html",
  };
  for (const std::string& target : refused) {
    const Answer answer = Ask(server, target);
    EXPECT_TRUE(answer.status == 404 || answer.status == 400) << target << ": " << answer.status;
    EXPECT_EQ(answer.body.find(FakeWebBuild::kSecret), std::string::npos) << target;
    EXPECT_EQ(answer.body.find("Quibbleton/"), std::string::npos) << target << ": a listing";
  }
  // A link that stays inside the build is followed.
  EXPECT_EQ(Ask(server, "/play/alias.js").body, Slurp(build.Folder() + "/Quibbleton/Quibbleton.js"));

  RunningServer without({"--web", "none"});
  ASSERT_TRUE(without.Up()) << without.Log();
  EXPECT_EQ(Ask(without, "/play/").status, 404);
}

TEST(WebBuild, LeaderboardsLinkToTheGamesOfTheBuild) {
  FakeWebBuild build;
  RunningServer server({"--web", build.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();
  for (const char* game : {"Quibbleton", "Other"}) {
    ASSERT_EQ(server.Get(UploadAddress("", game, "Ann:::N", 100).c_str())->status, 200);
  }
  const std::string home = server.Get("/")->body;
  EXPECT_NE(home.find("<a class=\"play\" href=\"/play/\">"), std::string::npos) << home;
  EXPECT_NE(home.find("<a class=\"play\" href=\"/play/Quibbleton/\">play</a>"), std::string::npos) << home;
  EXPECT_EQ(home.find("/play/Other/"), std::string::npos);
  EXPECT_NE(server.Get("/games/Quibbleton")->body.find("href=\"/play/Quibbleton/\""), std::string::npos);
  EXPECT_EQ(server.Get("/games/Other")->body.find("/play/"), std::string::npos);

  RunningServer without({"--web", "none", "--db", server.Database()});
  ASSERT_TRUE(without.Up()) << without.Log();
  EXPECT_EQ(without.Get("/")->body.find("/play/"), std::string::npos);
}

// By default the server serves the folder web/ beside its program.
TEST(WebBuild, TheBuildBesideTheProgramIsServedByDefault) {
  FakeWebBuild build;
  const std::string program = build.Top() + "/score-server";
  std::filesystem::copy_file(SCORE_SERVER_EXE, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_exec, std::filesystem::perm_options::add);
  const std::string help = build.Top() + "/help.txt";
  EXPECT_EQ(RunToEnd({program, "--help"}, help), 0);
  EXPECT_NE(Slurp(help).find("--web DIR"), std::string::npos) << Slurp(help);

  ChildProcess child;
  const std::string log = build.Top() + "/server.log";
  ASSERT_TRUE(child.Start({program, "--listen", "127.0.0.1:0", "--db", build.Top() + "/scores.db"}, log));
  const std::regex listening("listening on http://[^ ]*:([0-9]+)/");
  int port = 0;
  for (int i = 0; i < 500 && port == 0; ++i) {
    std::smatch found;
    const std::string text = Slurp(log);
    if (std::regex_search(text, found, listening)) port = std::stoi(found[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_NE(port, 0) << Slurp(log);
  httplib::Client client("127.0.0.1", port);
  auto page = client.Get("/play/Quibbleton/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->body, Slurp(build.Folder() + "/Quibbleton/index.html"));
  child.Signal(SIGTERM);
  EXPECT_EQ(child.Wait(), 0);
}

}  // namespace

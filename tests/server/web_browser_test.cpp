// A real browser on the web build's pages: headless Chromium loads a game
// page from a small build, precompressed by the build's own step, under the
// policy of /play/. Its inline script and its script file run, the file
// compiles the WebAssembly module and posts a replay to the server from the
// page's origin, as the web game uploads; the policy still refuses other
// inline scripts, eval and other origins. Skipped when
// Chromium is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "game/rules/replay.h"
#include "game/rules/replay_bot.h"
#include "game/rules/replay_verifier.h"
#include "tests/server/fake_web_build.h"
#include "tests/server/running_server.h"

namespace {

TEST(WebBrowser, TheGamePageRunsItsWasmAndUploadsFromItsOriginAndNothingElse) {
  if (access("/usr/bin/chromium", X_OK) != 0) GTEST_SKIP() << "chromium is not installed";
  FakeWebBuild build;
  RunningServer server({"--web", build.Folder()});
  ASSERT_TRUE(server.Up()) << server.Log();

  const quibbleton::Replay played = quibbleton::PlayBotGame(4242, 2, 300, 30);
  const int32_t score = quibbleton::VerifyReplay(played).score;
  ASSERT_GT(score, 0);
  build.Write("web/Quibbleton/index.html",
              "<!DOCTYPE html><title>Quibbleton</title><p id=\"out\">waiting</p>\n"
              "<script>\r\n  document.getElementById('out').dataset.inline = 'ran';\r\n</script>\n"
              "<script src=\"Quibbleton.js?v=0123abcd\"></script>\n");
  build.Write("web/Quibbleton/Quibbleton.js",
              "const out = document.getElementById('out');\n"
              "const note = (key, value) => { out.dataset[key] = value; };\n"
              "(async () => {\n"
              "  try {\n"
              "    const { instance } = await WebAssembly.instantiateStreaming(fetch('Quibbleton.wasm?v=0123abcd'));\n"
              "    note('wasm', String(instance.exports.answer()));\n"
              "  } catch (e) { note('wasm', 'refused'); }\n"
              "  try { note('eval', String(eval('6 * 7'))); } catch (e) { note('eval', 'refused'); }\n"
              "  const injected = document.createElement('script');\n"
              "  injected.textContent = \"note('injected', 'ran');\";\n"
              "  document.body.appendChild(injected);\n"
              "  try {\n"
              "    await fetch('http://localhost:" + std::to_string(server.Port()) + "/healthz', { mode: 'no-cors' });\n"
              "    note('elsewhere', 'reached');\n"
              "  } catch (e) { note('elsewhere', 'refused'); }\n"
              "  try {\n"
              "    const answer = await fetch('/api/replays?game=Quibbleton&name=' + encodeURIComponent('Ann:::N') +\n"
              "                               '&score=" + std::to_string(score) + "',\n"
              "                               { method: 'POST', body: " +
                  nlohmann::json(quibbleton::FormatReplay(played)).dump() + " });\n"
              "    note('upload', answer.status + ' ' + (await answer.json()).verified);\n"
              "  } catch (e) { note('upload', 'refused'); }\n"
              "  out.textContent = 'done';\n"
              "})();\n");
  // The build's own step writes the compressed siblings.
  const std::string folder = build.Top();
  ASSERT_EQ(RunToEnd({"cmake", "-DDIR=" + build.Folder(), "-P", std::string(QB_SOURCE_DIR) + "/server/precompress.cmake"},
                     folder + "/precompress.log"),
            0)
      << ReadWholeFile(folder + "/precompress.log");
  ASSERT_TRUE(std::filesystem::exists(build.Folder() + "/Quibbleton/Quibbleton.wasm.gz"));

  const std::string dom = folder + "/dom.html";
  EXPECT_EQ(RunToEnd({"/usr/bin/chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                      "--no-first-run", "--disable-background-networking", "--disable-component-update",
                      "--disable-sync", "--user-data-dir=" + folder + "/profile", "--virtual-time-budget=10000",
                      "--dump-dom", server.Server() + "/play/Quibbleton/"},
                     dom, folder + "/chromium.log"),
            0)
      << ReadWholeFile(folder + "/chromium.log");
  const std::string page = ReadWholeFile(dom);
  EXPECT_NE(page.find(">done</p>"), std::string::npos) << page;
  EXPECT_NE(page.find("data-wasm=\"42\""), std::string::npos) << page;
  EXPECT_NE(page.find("data-upload=\"200 true\""), std::string::npos) << page;
  EXPECT_NE(page.find("data-eval=\"refused\""), std::string::npos) << page;
  EXPECT_NE(page.find("data-elsewhere=\"refused\""), std::string::npos) << page;
  // The page's own inline script runs, one inserted later does not.
  EXPECT_NE(page.find("data-inline=\"ran\""), std::string::npos) << page;
  EXPECT_EQ(page.find("data-injected"), std::string::npos) << page;
  // The module travelled compressed and was unpacked by the browser.
  const std::string log = server.Log();
  const size_t line = log.find("GET /play/Quibbleton/Quibbleton.wasm 200 ");
  ASSERT_NE(line, std::string::npos) << log;
  EXPECT_LT(std::stoul(log.substr(line + 41)), FakeWebBuild::Module().size() / 4) << log.substr(line, 80);
  const nlohmann::json scores = nlohmann::json::parse(server.Get("/api/games/Quibbleton/scores")->body);
  EXPECT_EQ(scores.at("scores").at(0).at("score"), score);
  EXPECT_TRUE(scores.at("scores").at(0).at("verified").get<bool>());
}

// "watch" on a board's row, in the real web build (tests/web/browser_test.js,
// skipped there, and so here, without chromium or the staged build): the
// bot's short game, uploaded, plays back in the page to the board's score.
TEST(WebBrowser, WatchPlaysABoardsReplayToItsScore) {
  if (access("/usr/bin/node", X_OK) != 0) GTEST_SKIP() << "node is not installed";
  const quibbleton::Replay played = quibbleton::PlayBotGame(4242, 2, 6, 14);
  const quibbleton::Verdict verdict = quibbleton::VerifyReplay(played);
  ASSERT_TRUE(verdict.ok) << verdict.reason;
  FakeWebBuild folder;  // only for its temporary folder
  folder.Write("replay.txt", quibbleton::FormatReplay(played));
  const std::string log = folder.Top() + "/browser.log";
  const int code = RunToEnd({"/usr/bin/node", std::string(QB_SOURCE_DIR) + "/tests/web/browser_test.js",
                             "WatchPlaysAReplayToTheBoardsScore", "--web", std::string(QB_BINARY_DIR) + "/web",
                             "--server", SCORE_SERVER_EXE, "--replay", folder.Top() + "/replay.txt", "--score",
                             std::to_string(verdict.score)},
                            log);
  if (code == 77) GTEST_SKIP() << ReadWholeFile(log);
  EXPECT_EQ(code, 0) << ReadWholeFile(log);
}

}  // namespace

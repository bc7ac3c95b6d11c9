// Reading a path under /play/, a version and the client's codings: the
// pure parts of the web build's serving, where a slip would open the
// server's disk or send a browser bytes it cannot read.
#include "server/web_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using score::MapWebPath;

TEST(WebPaths, OnlyPlainWalksDownTheFolderAreMapped) {
  struct Case {
    const char* escaped;
    const char* relative;
    bool directory;
  };
  for (const Case& c : std::vector<Case>{{"", "", true},
                                         {"Quibbleton/", "Quibbleton", true},
                                         {"Quibbleton", "Quibbleton", false},
                                         {"Quibbleton/Quibbleton.wasm", "Quibbleton/Quibbleton.wasm", false},
                                         {"My%20Game/x.js", "My Game/x.js", false},
                                         {"caf%C3%A9/a..b.js", "caf\xC3\xA9/a..b.js", false}}) {
    const auto target = MapWebPath(c.escaped);
    ASSERT_TRUE(target) << c.escaped;
    EXPECT_EQ(target->relative, c.relative);
    EXPECT_EQ(target->directory, c.directory) << c.escaped;
  }
  const std::string deep = "a/b/c/d/e/f/g/h/i";
  for (const std::string& refused : std::vector<std::string>{
           "..", "../x", "a/../../x", "%2e%2e/x", "%2E%2e", ".", "./x", "a/./b", ".hidden", "a/.git/config",
           "a%2fb", "a%2F..%2Fb", "a%5cb", "a\\b", "/etc/passwd", "a//b", "%00", "a%00.js", "a%0a", "%7f",
           "%c0%ae%c0%ae/x", "%ff", "%", "%4", "%zz", deep, std::string(256, 'a'), std::string(1100, 'a')}) {
    EXPECT_FALSE(MapWebPath(refused)) << refused;
  }
  EXPECT_TRUE(MapWebPath(deep.substr(2)));  // eight segments
  EXPECT_TRUE(MapWebPath(std::string(255, 'a')));
  const std::string longest = std::string(255, 'a') + "/" + std::string(255, 'b') + "/" + std::string(255, 'c') + "/" +
                              std::string(255, 'd') + "/";  // 1024 bytes
  EXPECT_TRUE(MapWebPath(longest));
  EXPECT_FALSE(MapWebPath(longest + "e"));
}

TEST(WebPaths, AVersionIsAHashInTheNameOrAPlainV) {
  EXPECT_TRUE(score::IsVersioned("Quibbleton.3f9a01bc.wasm", ""));
  EXPECT_TRUE(score::IsVersioned("a.b.0123456789abcdef.data", ""));
  EXPECT_TRUE(score::IsVersioned("Quibbleton.js", "v=3f9a01bc"));
  EXPECT_TRUE(score::IsVersioned("Quibbleton.js", "QB_SEED=1&v=build-7_a"));
  for (const char* name : {"Quibbleton.wasm", "3f9a01bc.wasm", "Quibbleton.3f9a01b.wasm", "Quibbleton.3F9A01BC.wasm",
                           "Quibbleton.3f9a01bcg.wasm", "x.wasm.3f9a01bc", "Quibbleton"}) {
    EXPECT_FALSE(score::IsVersioned(name, "")) << name;
  }
  for (const char* query : {"v=", "v", "v=a%20b", "v=a/b", "version=3f9a01bc"}) {
    EXPECT_FALSE(score::IsVersioned("Quibbleton.js", query)) << query;
  }
  EXPECT_FALSE(score::IsVersioned("Quibbleton.js", "v=" + std::string(65, 'a')));
}

TEST(WebPaths, TheClientsCodingsAndTheirQualities) {
  struct Case {
    const char* header;
    double gzip, br;
  };
  for (const Case& c : std::vector<Case>{{"", 0, 0},
                                         {"gzip, deflate, br, zstd", 1, 1},
                                         {"GZIP", 1, 0},
                                         {"gzip;q=0.5, br;q=0.25", 0.5, 0.25},
                                         {" gzip ; q=0 ,br", 0, 1},
                                         {"*", 1, 1},
                                         {"*;q=0.3, gzip", 1, 0.3},
                                         {"br;q=0, *", 1, 0},
                                         {"gzip;q=1.5, br;q=abc", 0, 0},
                                         {"gzip;q=, br;q", 0, 1},
                                         {"gzip;Q=0.001", 0.001, 0},
                                         {"gzip;level=9;q=0.7", 0.7, 0},
                                         {"x-gzip, gzipx, brotli", 0, 0},
                                         {",,gzip,,", 1, 0}}) {
    EXPECT_DOUBLE_EQ(score::CodingQuality(c.header, "gzip"), c.gzip) << c.header;
    EXPECT_DOUBLE_EQ(score::CodingQuality(c.header, "br"), c.br) << c.header;
  }
}

}  // namespace

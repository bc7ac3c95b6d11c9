// A small web build made by a test, laid out as the real one: the
// launcher's page at the top, the game's folder with its page, script,
// WebAssembly module and data. A secret lies beside the build's folder, for
// the tests that try to reach it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class FakeWebBuild {
 public:
  FakeWebBuild() {
    char pattern[] = "/tmp/score_webXXXXXX";
    top_ = mkdtemp(pattern);
    std::filesystem::create_directories(Folder() + "/Quibbleton");
    Write("secret.txt", kSecret);
    Write("web/index.html", "<!DOCTYPE html><title>Lobbo</title><a href=\"Quibbleton/\">Quibbleton</a>\n");
    Write("web/Quibbleton/index.html",
          "<!DOCTYPE html><title>Quibbleton</title><script src=\"Quibbleton.js?v=0123abcd\"></script>\n");
    Write("web/Quibbleton/Quibbleton.js", "console.log('quibbleton');\n");
    Write("web/Quibbleton/Quibbleton.wasm", Module());
  }
  ~FakeWebBuild() {
    std::error_code ec;
    std::filesystem::remove_all(top_, ec);
  }
  FakeWebBuild(const FakeWebBuild&) = delete;
  FakeWebBuild& operator=(const FakeWebBuild&) = delete;

  // The build's folder; the secret is at Top()/secret.txt.
  std::string Folder() const { return top_ + "/web"; }
  const std::string& Top() const { return top_; }
  void Write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(top_ + "/" + relative, std::ios::binary) << bytes;
  }

  // A WebAssembly module whose export "answer" returns 42, padded with an
  // empty custom section so that it compresses well.
  static std::string Module() {
    static constexpr char kHead[] =
        "\0asm\1\0\0\0"             // magic, version
        "\1\5\1\x60\0\1\x7f"         // a type: () -> i32
        "\3\2\1\0"                 // one function of it
        "\7\x0a\1\6answer\0\0"      // exported as "answer"
        "\x0a\6\1\4\0\x41\x2a\x0b"  // its body: i32.const 42
        "\0\xa4\x1f\3pad";          // a custom section of 4004 bytes
    return std::string(kHead, sizeof kHead - 1) + std::string(4000, '\0');
  }

  static constexpr char kSecret[] = "the database's password";

 private:
  std::string top_;
};

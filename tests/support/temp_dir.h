// A temporary folder that a test works in; the current directory is put back afterwards.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/qbtestXXXXXX";
    path_ = ::mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }

  static void Write(const std::string& file, const std::string& text) {
    std::filesystem::path p(file);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream(file, std::ios::binary) << text;
  }
  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

 private:
  std::string path_;
  std::filesystem::path old_;
};

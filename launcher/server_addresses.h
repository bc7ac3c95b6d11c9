// Where the launcher's web links go: the home page that empty game slots
// open and the score server in front of the upload path. Both come from the
// launcher's "setup.ini", section "server", so a deployment can point them
// elsewhere; the defaults are a score server on this machine.
#pragma once

#include <string>

#include "records/shared_files.h"

struct ServerAddresses {
  std::string home;    // key "home"
  std::string scores;  // key "scores", without the upload path
};

constexpr char kDefaultHomeAddress[] = "http://localhost:8080/";
constexpr const char* kDefaultScoresAddress = records::kDefaultScoresAddress;

// iniPath as the programs write paths: the launcher's ".\setup.ini", from
// its working directory or from its directory given whole.
ServerAddresses ReadServerAddresses(const char* iniPath);

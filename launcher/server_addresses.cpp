#include "launcher/server_addresses.h"

#include "platform/win/profile.h"
#include "records/shared_files.h"

namespace {

std::string ReadAddress(const char* key, const char* fallback, const char* iniPath) {
  char value[1024] = "";
  GetPrivateProfileStringA(records::kServerSection, key, fallback, value, sizeof value, iniPath);
  return value;
}

}  // namespace

ServerAddresses ReadServerAddresses(const char* iniPath) {
  ServerAddresses addresses;
  addresses.home = ReadAddress("home", kDefaultHomeAddress, iniPath);
  addresses.scores = ReadAddress(records::kScoresKey, kDefaultScoresAddress, iniPath);
  // The upload path brings its own "/".
  while (!addresses.scores.empty() && addresses.scores.back() == '/') addresses.scores.pop_back();
  return addresses;
}

#include "server/client_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace score {

std::string AddressText(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
      inet_ntop(AF_INET, v6->sin6_addr.s6_addr + 12, text, sizeof text);
    } else {
      inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
  }
  return text;
}

std::string LimitKey(std::string_view address) {
  const std::string text(address);
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) != 1) return text;
  if (IN6_IS_ADDR_V4MAPPED(&v6)) {
    char v4[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, v6.s6_addr + 12, v4, sizeof v4);
    return v4;
  }
  std::memset(v6.s6_addr + 8, 0, 8);
  char prefix[INET6_ADDRSTRLEN];
  inet_ntop(AF_INET6, &v6, prefix, sizeof prefix);
  return std::string(prefix) + "/64";
}

std::string SiteKey(std::string_view address) {
  const std::string text(address);
  in6_addr v6{};
  if (inet_pton(AF_INET6, text.c_str(), &v6) != 1 || IN6_IS_ADDR_V4MAPPED(&v6)) return "";
  std::memset(v6.s6_addr + 6, 0, 10);
  char prefix[INET6_ADDRSTRLEN];
  inet_ntop(AF_INET6, &v6, prefix, sizeof prefix);
  return std::string(prefix) + "/48";
}

std::string LastForwarded(std::string_view forwardedFor) {
  const size_t comma = forwardedFor.rfind(',');
  std::string_view last = comma == std::string_view::npos ? forwardedFor : forwardedFor.substr(comma + 1);
  while (!last.empty() && (last.front() == ' ' || last.front() == '\t')) last.remove_prefix(1);
  while (!last.empty() && (last.back() == ' ' || last.back() == '\t')) last.remove_suffix(1);
  const std::string text(last);
  unsigned char buffer[sizeof(in6_addr)];
  if (inet_pton(AF_INET, text.c_str(), buffer) == 1) return text;
  if (inet_pton(AF_INET6, text.c_str(), buffer) == 1) return text;
  return "";
}

}  // namespace score

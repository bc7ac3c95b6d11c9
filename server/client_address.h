// Client addresses as the server names them: text for logs and headers, and
// the key that limits share. An IPv6 client controls a whole /64 (one
// home's or one server's block), so it is limited per /64, not per address.
#pragma once

#include <sys/socket.h>

#include <string>
#include <string_view>

namespace score {

// "192.0.2.7" or "2001:db8::1"; an IPv4 address mapped into IPv6 (a
// dual-stack socket) reads as plain IPv4. Empty for other families.
std::string AddressText(const sockaddr* address);

// The key of the limits for an address in text: IPv4 as it is, IPv6 as
// its /64 ("2001:db8:1:2::/64"); text that is no address stays as it is.
std::string LimitKey(std::string_view address);

// The key of a site's allowance beside its /64s': an IPv6 address's /48
// ("2001:db8:1::/48"), the block one site is given. Empty for IPv4 (and
// IPv4 mapped into IPv6), whose addresses are limited one by one, and for
// text that is no address.
std::string SiteKey(std::string_view address);

// The client a proxy saw: the last address of an X-Forwarded-For list
// (each proxy appends the peer it saw). Empty when that is no address.
std::string LastForwarded(std::string_view forwardedFor);

}  // namespace score

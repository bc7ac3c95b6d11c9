// A client on plain sockets, for what an HTTP library would tidy away:
// half-sent heads, bodies on a GET, pipelined requests, floods.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

class RawClient {
 public:
  // Connects to `to`:port from the local address `from` (any 127.x.y.z
  // works on the loopback, so one test can be many clients).
  RawClient(int port, const char* from = "127.0.0.1", const char* to = "127.0.0.1", int family = AF_INET) {
    fd_ = socket(family, SOCK_STREAM, 0);
    // A send the server stops reading fails after a while instead of
    // blocking the test.
    timeval wait{2, 0};
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    if (family == AF_INET6) {
      sockaddr_in6 there{};
      there.sin6_family = AF_INET6;
      there.sin6_port = htons(static_cast<uint16_t>(port));
      inet_pton(AF_INET6, to, &there.sin6_addr);
      connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&there), sizeof there) == 0;
      return;
    }
    sockaddr_in here{};
    here.sin_family = AF_INET;
    inet_pton(AF_INET, from, &here.sin_addr);
    bind(fd_, reinterpret_cast<sockaddr*>(&here), sizeof here);
    sockaddr_in there{};
    there.sin_family = AF_INET;
    there.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, to, &there.sin_addr);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&there), sizeof there) == 0;
  }
  ~RawClient() { close(fd_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool Connected() const { return connected_; }

  // False when the server has closed the connection.
  bool Send(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<size_t>(n);
    }
    return true;
  }

  // Everything the server sends until it closes or `seconds` pass.
  std::string ReadAll(double seconds) {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buffer[65536];
      const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) {
        closed_ = true;
        break;
      }
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  // True once a read has seen the server close (or reset) the connection.
  bool Closed() const { return closed_; }

 private:
  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
};

// How many answers a stream of responses holds.
inline int Answers(const std::string& stream) {
  int n = 0;
  for (size_t at = stream.find("HTTP/1.1 "); at != std::string::npos; at = stream.find("HTTP/1.1 ", at + 1)) ++n;
  return n;
}

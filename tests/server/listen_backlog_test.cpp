// The listening socket's queue: a burst of connections arriving while the
// server is not accepting (here: stopped) waits in the kernel's queue
// instead of being dropped. A backlog of 5 lost the 7th.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/server/running_server.h"

namespace {

TEST(Listening, ABurstOf200ConnectionsWaitsInTheQueue) {
  RunningServer server;
  ASSERT_TRUE(server.Up()) << server.Log();
  server.Process().Signal(SIGSTOP);
  std::vector<pollfd> sockets;
  for (int i = 0; i < 200; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in here{};
    here.sin_family = AF_INET;
    inet_pton(AF_INET, ("127.0.2." + std::to_string(1 + i)).c_str(), &here.sin_addr);
    bind(fd, reinterpret_cast<sockaddr*>(&here), sizeof here);
    sockaddr_in there{};
    there.sin_family = AF_INET;
    there.sin_port = htons(static_cast<uint16_t>(server.Port()));
    there.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&there), sizeof there);
    sockets.push_back({fd, POLLOUT, 0});
  }
  // A queued connection is established at once; a dropped one waits for
  // its SYN to be sent again, a second later.
  usleep(500 * 1000);
  poll(sockets.data(), sockets.size(), 0);
  int connected = 0;
  for (const pollfd& p : sockets) {
    int error = 1;
    socklen_t length = sizeof error;
    getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &error, &length);
    connected += (p.revents & POLLOUT) && error == 0 ? 1 : 0;
  }
  server.Process().Signal(SIGCONT);
  for (const pollfd& p : sockets) close(p.fd);
  EXPECT_EQ(connected, 200);
  EXPECT_EQ(server.Get("/healthz")->status, 200);
}

}  // namespace

// The server behind a real nginx with the deployment's proxy settings: an
// upload hidden in a forwarded GET's body is never stored, and the server
// sees each player's own address, not the proxy's or a forged one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "server/storage.h"
#include "tests/server/raw_client.h"
#include "tests/server/running_server.h"

namespace {

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any);
  socklen_t length = sizeof any;
  getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length);
  close(fd);
  return ntohs(any.sin_port);
}

class Nginx {
 public:
  // A proxy that closes uploads (/cgi-bin/ answers 403), in front of the
  // server on `upstream`.
  explicit Nginx(int upstream) {
    char pattern[] = "/tmp/score_nginxXXXXXX";
    folder_ = mkdtemp(pattern);
    port_ = FreePort();
    std::ofstream conf(folder_ + "/nginx.conf");
    conf << "daemon off;\nmaster_process off;\nerror_log " << folder_ << "/error.log;\npid " << folder_
         << "/nginx.pid;\nevents { worker_connections 64; }\nhttp {\n"
         << "  client_body_temp_path " << folder_ << "/body;\n  proxy_temp_path " << folder_ << "/proxy;\n"
         << "  fastcgi_temp_path " << folder_ << "/fcgi;\n  uwsgi_temp_path " << folder_ << "/uwsgi;\n"
         << "  scgi_temp_path " << folder_ << "/scgi;\n  access_log off;\n"
         << "  upstream score_server { server 127.0.0.1:" << upstream << "; keepalive 4; }\n"
         << "  server {\n    listen 127.0.0.1:" << port_ << ";\n"
         << "    location /cgi-bin/ { return 403; }\n"
         << "    location / { include " << QB_SOURCE_DIR << "/server/deploy/score-server-proxy.conf; }\n  }\n}\n";
    conf.close();
    if (!process_.Start({"nginx", "-e", folder_ + "/error.log", "-p", folder_, "-c", folder_ + "/nginx.conf"},
                        folder_ + "/out.log")) {
      return;
    }
    for (int i = 0; i < 200 && !up_; ++i) {
      RawClient probe(port_);
      up_ = probe.Connected();
      if (!up_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~Nginx() {
    process_.Signal(SIGTERM);
    process_.Wait();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  bool Up() const { return up_; }
  int Port() const { return port_; }
  std::string Log() const { return ReadWholeFile(folder_ + "/error.log"); }

 private:
  std::string folder_;
  ChildProcess process_;
  int port_ = 0;
  bool up_ = false;
};

bool HaveNginx() { return access("/usr/sbin/nginx", X_OK) == 0; }

TEST(BehindNginx, SmuggledUploadsAreRefusedAndClientsKeepTheirAddress) {
  if (!HaveNginx()) GTEST_SKIP() << "nginx is not installed";
  RunningServer server({"--trust-proxy", "127.0.0.1"});
  ASSERT_TRUE(server.Up()) << server.Log();
  Nginx nginx(server.Port());
  ASSERT_TRUE(nginx.Up()) << nginx.Log();

  const std::string hidden =
      "GET /cgi-bin/hiscore.cgi?game=Smuggled&name=Mallory:::Y&score=129481655 HTTP/1.1\r\nHost: x\r\n\r\n";
  for (int round = 0; round < 3; ++round) {
    RawClient client(nginx.Port(), "127.0.0.5");
    client.Send("GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " + std::to_string(hidden.size()) + "\r\n\r\n" +
                hidden);
    const std::string answer = client.ReadAll(3);
    EXPECT_EQ(answer.rfind("HTTP/1.1 400", 0), 0u) << answer.substr(0, 200);
    // The proxy's next requests on its kept-alive connections are its own.
    RawClient next(nginx.Port(), "127.0.0.6");
    next.Send("GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(next.ReadAll(3).rfind("HTTP/1.1 200", 0), 0u);
  }
  RawClient closed(nginx.Port());
  closed.Send("GET /cgi-bin/hiscore.cgi?game=Q HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(closed.ReadAll(3).rfind("HTTP/1.1 403", 0), 0u);
  EXPECT_TRUE(score::OpenStorage(server.Database())->Dump("Smuggled").empty());

  // The server logs the player's address, never a header the player forged.
  RawClient player(nginx.Port(), "127.0.0.9");
  player.Send("GET /games/Nobody HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 6.6.6.6\r\nConnection: close\r\n\r\n");
  player.ReadAll(3);
  const std::string log = server.Log();
  EXPECT_NE(log.find(" 127.0.0.9 GET /games/Nobody 404"), std::string::npos) << log;
  EXPECT_EQ(log.find("6.6.6.6"), std::string::npos) << log;
}

}  // namespace

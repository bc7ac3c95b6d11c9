// A score server of a test's own on the loopback: it notes every request
// (method, path, query, the player's key, body) and answers each with the reply
// the test set, which may also be no answer at all until the server ends.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeScoreServer {
 public:
  struct Reply {
    int status = 200;
    std::string body;
    bool hang = false;  // never answers: the request waits until the server ends
  };
  struct Request {
    std::string method, path, playerKey, body;
    bool hasKey = false;
    std::map<std::string, std::string> query;  // decoded; the last of a repeated name
  };

  FakeScoreServer() {
    const auto handle = [this](const httplib::Request& request, httplib::Response& response) {
      Reply reply;
      {
        std::unique_lock lock(mutex_);
        requests_.push_back({request.method, request.path, request.get_header_value("X-Player-Key"), request.body,
                             request.has_header("X-Player-Key"),
                             std::map<std::string, std::string>(request.params.begin(), request.params.end())});
        reply = reply_;
        if (reply.hang) ended_.wait(lock, [this] { return ending_; });
      }
      response.status = reply.status;
      response.set_content(reply.body, "application/json");
    };
    server_.Get(".*", handle);
    server_.Post(".*", handle);
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~FakeScoreServer() {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    ended_.notify_all();
    server_.stop();
    thread_.join();
  }
  FakeScoreServer(const FakeScoreServer&) = delete;
  FakeScoreServer& operator=(const FakeScoreServer&) = delete;

  std::string Address() const { return "http://127.0.0.1:" + std::to_string(port_); }
  void Answer(Reply reply) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
  }
  std::vector<Request> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  bool ending_ = false;
  Reply reply_;
  std::vector<Request> requests_;
};

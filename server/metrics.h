// The server's counters in Prometheus' text format: requests by route and
// status, their durations as a histogram, uploads stored and refused, and
// database errors. Served on an address of its own (--metrics-listen),
// never on the public one. Every label comes from a fixed set, so no
// client can make the series grow: a path is named by its route, never
// by what was sent.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "server/service.h"

namespace score {

enum class RouteLabel { kHome, kGame, kScores, kUpload, kReplay, kHealth, kReady, kPlay, kOther, kCount };

// The route of a request's path (the query left out).
RouteLabel RouteOf(std::string_view path);

class Metrics {
 public:
  // Counts one answered request; called from any thread.
  void Observe(const Request& request, const Response& response, double seconds);
  // The exposition: every counter, in Prometheus' text format 0.0.4.
  std::string Text() const;

  // Answers the metrics listener: GET /metrics, and 404 for anything else.
  Response Handle(const Request& request) const;

  static constexpr std::array<int, 14> kStatuses = {200, 304, 400, 403, 404, 405, 409, 413, 414, 422, 429, 431, 500, 503};
  static constexpr std::array<double, 12> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                      0.1,   0.25,   0.5,   1,    2.5,   10};

 private:
  static constexpr size_t kRoutes = static_cast<size_t>(RouteLabel::kCount);
  // The last status slot counts every status not listed.
  std::array<std::array<std::atomic<uint64_t>, kStatuses.size() + 1>, kRoutes> requests_{};
  // Per route: a count per bucket (the last is +Inf alone), and the sum.
  std::array<std::array<std::atomic<uint64_t>, kBuckets.size() + 1>, kRoutes> durations_{};
  std::array<std::atomic<uint64_t>, kRoutes> microseconds_{};
  std::atomic<uint64_t> stored_{0};
  // Refused uploads by the status of their answer.
  std::array<std::atomic<uint64_t>, kStatuses.size() + 1> refused_{};
  std::atomic<uint64_t> databaseErrors_{0};
};

}  // namespace score

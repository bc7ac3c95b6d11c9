#include "server/metrics.h"

#include <cstdio>
#include <map>

#include "records/upload.h"

namespace score {
namespace {

constexpr const char* kRouteNames[] = {"home", "game", "scores", "upload", "replay", "healthz", "readyz", "other"};

size_t StatusSlot(int status) {
  for (size_t i = 0; i < Metrics::kStatuses.size(); ++i) {
    if (Metrics::kStatuses[i] == status) return i;
  }
  return Metrics::kStatuses.size();
}

std::string StatusName(size_t slot) {
  return slot < Metrics::kStatuses.size() ? std::to_string(Metrics::kStatuses[slot]) : "other";
}

// Why an upload was refused, from its answer's status.
const char* RefusalName(size_t slot) {
  switch (slot < Metrics::kStatuses.size() ? Metrics::kStatuses[slot] : 0) {
    case 400: return "invalid";
    case 405: return "method";
    case 413: return "too_large";
    case 414: return "too_long";
    case 422: return "replay_refused";
    case 429: return "rate_limited";
    case 503: return "unavailable";
    default: return "other";
  }
}

void Line(std::string& out, const std::string& name, const std::string& labels, uint64_t value) {
  out += name;
  if (!labels.empty()) {
    out += '{';
    out += labels;
    out += '}';
  }
  out += ' ';
  out += std::to_string(value);
  out += '\n';
}

void Head(std::string& out, const char* name, const char* type, const char* help) {
  for (const char* piece : {"# HELP ", name, " ", help, "\n# TYPE ", name, " ", type, "\n"}) out += piece;
}

// key="value", appended piece by piece.
std::string Label(const char* key, std::string_view value) {
  std::string label = key;
  label += "=\"";
  label += value;
  label += '"';
  return label;
}

}  // namespace

RouteLabel RouteOf(std::string_view path) {
  if (path == "/") return RouteLabel::kHome;
  if (path == records::kUploadPath) return RouteLabel::kUpload;
  if (path == records::kReplayPath) return RouteLabel::kReplay;
  if (path == "/healthz") return RouteLabel::kHealth;
  if (path == "/readyz") return RouteLabel::kReady;
  if (path.starts_with("/games/")) return RouteLabel::kGame;
  if (path.starts_with("/api/games/") && path.ends_with("/scores")) return RouteLabel::kScores;
  return RouteLabel::kOther;
}

void Metrics::Observe(const Request& request, const Response& response, double seconds) {
  const RouteLabel route = RouteOf(std::string_view(request.target).substr(0, request.target.find('?')));
  const auto r = static_cast<size_t>(route);
  const size_t status = StatusSlot(response.status);
  requests_[r][status].fetch_add(1, std::memory_order_relaxed);
  size_t bucket = 0;
  while (bucket < kBuckets.size() && seconds > kBuckets[bucket]) ++bucket;
  durations_[r][bucket].fetch_add(1, std::memory_order_relaxed);
  microseconds_[r].fetch_add(static_cast<uint64_t>(seconds * 1e6), std::memory_order_relaxed);
  if (route == RouteLabel::kUpload || route == RouteLabel::kReplay) {
    if (response.stored) {
      stored_.fetch_add(1, std::memory_order_relaxed);
    } else {
      refused_[status].fetch_add(1, std::memory_order_relaxed);
    }
  }
  if (response.databaseError) databaseErrors_.fetch_add(1, std::memory_order_relaxed);
}

std::string Metrics::Text() const {
  std::string out;
  Head(out, "score_requests_total", "counter", "Requests answered, by route and status.");
  for (size_t r = 0; r < kRoutes; ++r) {
    for (size_t s = 0; s <= kStatuses.size(); ++s) {
      const uint64_t n = requests_[r][s].load(std::memory_order_relaxed);
      if (n > 0) {
        Line(out, "score_requests_total",
             Label("route", kRouteNames[r]) + "," + Label("status", StatusName(s)), n);
      }
    }
  }
  Head(out, "score_request_duration_seconds", "histogram", "Time from a request's head to its answer.");
  for (size_t r = 0; r < kRoutes; ++r) {
    const std::string route = Label("route", kRouteNames[r]);
    uint64_t count = 0;
    for (size_t b = 0; b <= kBuckets.size(); ++b) {
      count += durations_[r][b].load(std::memory_order_relaxed);
      char le[32];
      if (b < kBuckets.size()) {
        std::snprintf(le, sizeof le, "%g", kBuckets[b]);
      } else {
        std::snprintf(le, sizeof le, "+Inf");
      }
      Line(out, "score_request_duration_seconds_bucket", route + "," + Label("le", le), count);
    }
    char sum[64];
    std::snprintf(sum, sizeof sum, "%.6f", microseconds_[r].load(std::memory_order_relaxed) / 1e6);
    out += "score_request_duration_seconds_sum{" + route + "} " + sum + "\n";
    Line(out, "score_request_duration_seconds_count", route, count);
  }
  Head(out, "score_uploads_stored_total", "counter", "Uploads answered as stored (now or before).");
  Line(out, "score_uploads_stored_total", "", stored_.load(std::memory_order_relaxed));
  Head(out, "score_uploads_refused_total", "counter", "Uploads refused, by reason.");
  // Several statuses share the reason "other": one line each reason.
  std::map<std::string, uint64_t> reasons;
  for (size_t s = 0; s <= kStatuses.size(); ++s) {
    const uint64_t n = refused_[s].load(std::memory_order_relaxed);
    if (n > 0) reasons[RefusalName(s)] += n;
  }
  for (const auto& [reason, n] : reasons) Line(out, "score_uploads_refused_total", Label("reason", reason), n);
  Head(out, "score_database_errors_total", "counter", "Requests the database failed.");
  Line(out, "score_database_errors_total", "", databaseErrors_.load(std::memory_order_relaxed));
  return out;
}

Response Metrics::Handle(const Request& request) const {
  Response r;
  r.contentType = "text/plain; charset=utf-8";
  const std::string_view path = std::string_view(request.target).substr(0, request.target.find('?'));
  if (path != "/metrics") {
    r.status = 404;
    r.body = "not found\n";
  } else if (request.method != "GET" && request.method != "HEAD") {
    r.status = 405;
    r.headers.emplace_back("Allow", "GET, HEAD");
  } else {
    r.contentType = "text/plain; version=0.0.4; charset=utf-8";
    r.body = Text();
  }
  r.headers.emplace_back("Cache-Control", "no-store");
  return r;
}

}  // namespace score

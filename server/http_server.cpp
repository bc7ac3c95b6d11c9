#include "server/http_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "game/rules/replay.h"
#include "server/client_address.h"
#include "server/request_workers.h"
#include "server/static_site.h"

namespace score {
namespace {

using Clock = std::chrono::steady_clock;

// One open connection. Requests on a connection come one after another, so
// the one under way lives here too.
struct Tracked {
  int fd = -1;
  std::string key;           // its client's limit key
  Clock::time_point since;   // when it began to wait for its request: connect or the previous answer
  Clock::time_point due;     // when its next request head must be complete
  bool busy = false;         // a head arrived; the answer is under way
  bool cut = false;          // shut down by this server, closing: no longer counted
  bool answered = false;
  bool mustClose = false;    // refused: nothing more is read from it
  std::string target;        // the request line's target, as sent
  Clock::time_point started;
  // A replay's body is coming in, since `bodyStarted` (both under the
  // server's mutex, for the sweeper); `received` bytes of it so far.
  bool reading = false;
  Clock::time_point bodyStarted;
  std::atomic<size_t> received{0};
  std::string body;
  // Handed to the workers: the connection is suspended until its answer
  // is ready (both under the server's mutex: a worker writes them).
  bool waiting = false;
  bool ready = false;
  Request request;
  Response response;
};

std::string Header(MHD_Connection* connection, const char* name) {
  const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
  return value ? value : "";
}

struct HeaderLine {
  const char* key;
  size_t keySize;
  const char* value;
  size_t valueSize;
  bool Is(std::string_view name) const {
    return keySize == name.size() && strncasecmp(key, name.data(), name.size()) == 0;
  }
};

MHD_Result Collect(void* lines, MHD_ValueKind, const char* key, size_t keySize, const char* value, size_t valueSize) {
  static_cast<std::vector<HeaderLine>*>(lines)->push_back({key, keySize, value ? value : key, value ? valueSize : 0});
  return MHD_YES;
}

bool HasLineBreak(const char* text, size_t size) {
  return std::memchr(text, '\r', size) != nullptr || std::memchr(text, '\n', size) != nullptr;
}

// The status a request head is refused with before anything reads it, or
// 0. Two lengths, or a length beside a transfer encoding, let a proxy and
// this server disagree on where the body ends, and the rest of a body then
// runs as a request of its own. The library ends a line at a lone CR or LF
// where another reader keeps it inside the line; it reads a head in place,
// each line's end overwritten, so one byte between a line's last character
// and the next line's first (two for CR LF) is such a line end. A value the
// library moved elsewhere (a folded line) is some other distance apart and
// is not judged; the head's last line before the blank one cannot be.
int HeadProblem(MHD_Connection* connection, const char* version, size_t targetBytes, size_t limit) {
  std::vector<HeaderLine> lines;
  MHD_get_connection_values_n(connection, MHD_HEADER_KIND, &Collect, &lines);
  size_t bytes = targetBytes;
  int lengths = 0, encodings = 0;
  bool lone = false;
  auto address = [](const char* p) { return reinterpret_cast<uintptr_t>(p); };
  uintptr_t end = version ? address(version) + std::strlen(version) : 0;
  for (const HeaderLine& line : lines) {
    bytes += line.keySize + line.valueSize + 4;
    lengths += line.Is(MHD_HTTP_HEADER_CONTENT_LENGTH) ? 1 : 0;
    encodings += line.Is(MHD_HTTP_HEADER_TRANSFER_ENCODING) ? 1 : 0;
    lone = lone || (end != 0 && address(line.key) == end + 1) || HasLineBreak(line.key, line.keySize) ||
           HasLineBreak(line.value, line.valueSize);
    end = address(line.value) + line.valueSize;
  }
  if (bytes > limit) return MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE;
  if (lone || lengths > 1 || encodings > 1 || (lengths > 0 && encodings > 0)) return MHD_HTTP_BAD_REQUEST;
  return 0;
}

}  // namespace

struct HttpServer::Impl {
  Handler handler;
  Logger logger;
  HttpLimits limits;
  Predicate atOnce;
  Handler unavailable;
  Refusal refused;
  std::unique_ptr<RequestWorkers> workers;
  std::string exemptKey;
  std::vector<MHD_Daemon*> daemons;

  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  std::map<Tracked*, bool> open;  // every open connection
  size_t cut = 0;  // of them, those shut down and closing
  unsigned waiting = 0;  // connections suspended for a worker's answer
  std::map<std::string, unsigned> perClient;
  std::thread sweeper;

  // A client past its share of connections is turned away at accept; a
  // full server makes room first.
  static MHD_Result Policy(void* cls, const sockaddr* address, socklen_t) {
    auto* self = static_cast<Impl*>(cls);
    const std::string key = LimitKey(AddressText(address));
    std::lock_guard lock(self->mutex);
    auto found = self->perClient.find(key);
    if (key != self->exemptKey && found != self->perClient.end() && found->second >= self->limits.perClient) {
      return MHD_NO;
    }
    return self->open.size() - self->cut < self->limits.connections || self->MakeRoom() ? MHD_YES : MHD_NO;
  }

  // Under the mutex: the connection is shut down; the library then sees
  // the end of the stream and closes it. It closes the socket only after
  // telling Notify, so no number reused by a newer connection is shut.
  void Cut(Tracked& tracked) {
    if (tracked.fd >= 0) shutdown(tracked.fd, SHUT_RDWR);
    tracked.cut = true;
    ++cut;
  }

  // Under the mutex: the connection that has waited longest for its head
  // or its body gives way (one whose answer is under way never does).
  bool MakeRoom() {
    Tracked* oldest = nullptr;
    for (auto& [tracked, unused] : open) {
      if (tracked->cut || (tracked->busy && !tracked->reading)) continue;
      if (!oldest || tracked->since < oldest->since) oldest = tracked;
    }
    if (oldest) Cut(*oldest);
    return oldest != nullptr;
  }

  // Under the mutex: whether a body has taken too long, or comes too slowly.
  bool BodyLate(const Tracked& tracked, Clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - tracked.bodyStarted).count();
    return seconds > limits.bodySeconds ||
           (seconds >= 2 && static_cast<double>(tracked.received.load()) < limits.bodyRate * seconds);
  }

  static void Notify(void* cls, MHD_Connection* connection, void** context, MHD_ConnectionNotificationCode event) {
    auto* self = static_cast<Impl*>(cls);
    if (event == MHD_CONNECTION_NOTIFY_STARTED) {
      auto* tracked = new Tracked;
      const MHD_ConnectionInfo* fd = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      const MHD_ConnectionInfo* address = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
      tracked->fd = fd ? fd->connect_fd : -1;
      tracked->key = address ? LimitKey(AddressText(address->client_addr)) : "";
      tracked->since = Clock::now();
      tracked->due = tracked->since + std::chrono::seconds(self->limits.headSeconds);
      *context = tracked;
      std::lock_guard lock(self->mutex);
      self->open.emplace(tracked, true);
      ++self->perClient[tracked->key];
    } else if (event == MHD_CONNECTION_NOTIFY_CLOSED) {
      auto* tracked = static_cast<Tracked*>(*context);
      if (!tracked) return;
      {
        // The library closes the socket only after this returns, so the
        // sweeper never shuts down a number reused by a newer connection.
        std::lock_guard lock(self->mutex);
        self->open.erase(tracked);
        if (tracked->cut) --self->cut;
        if (tracked->waiting) self->Resumed();
        auto count = self->perClient.find(tracked->key);
        if (count != self->perClient.end() && --count->second == 0) self->perClient.erase(count);
      }
      delete tracked;
      *context = nullptr;
    }
  }

  static Tracked* Of(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Tracked*>(info->socket_context) : nullptr;
  }

  // Called with the request line's target before the library decodes it;
  // the Service reads the raw query, whose "&" and "=" the launcher leaves
  // unescaped inside values.
  static void* UriLog(void*, const char* uri, MHD_Connection* connection) {
    Tracked* tracked = Of(connection);
    if (tracked) {
      tracked->target = uri;
      tracked->started = Clock::now();
      tracked->answered = false;
    }
    return tracked;
  }

  static MHD_Result Access(void* cls, MHD_Connection* connection, const char*, const char* method,
                           const char* version, const char* uploadData, size_t* uploadSize, void** context) {
    auto* self = static_cast<Impl*>(cls);
    auto* tracked = static_cast<Tracked*>(*context);
    if (!tracked) return MHD_NO;
    // A body is never read: the answer went out before it, and the
    // connection closes after the answer.
    if (tracked->answered) {
      *uploadSize = 0;
      return MHD_YES;
    }
    if (tracked->waiting) {
      *uploadSize = 0;
      std::unique_lock lock(self->mutex);
      if (!tracked->ready) return MHD_YES;
      tracked->waiting = false;
      self->Resumed();
      Request request = std::move(tracked->request);
      Response answer = std::move(tracked->response);
      lock.unlock();
      return self->Send(connection, tracked, request, std::move(answer));
    }
    Request request;
    request.method = method;
    request.target = tracked->target;
    const MHD_ConnectionInfo* address = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (address) request.client = AddressText(address->client_addr);
    request.forwardedFor = Header(connection, "X-Forwarded-For");
    request.playerKey = Header(connection, "X-Player-Key");
    request.host = Header(connection, MHD_HTTP_HEADER_HOST);
    request.origin = Header(connection, MHD_HTTP_HEADER_ORIGIN);
    request.fetchSite = Header(connection, "Sec-Fetch-Site");
    request.ifNoneMatch = Header(connection, MHD_HTTP_HEADER_IF_NONE_MATCH);
    request.acceptEncoding = Header(connection, MHD_HTTP_HEADER_ACCEPT_ENCODING);
    const std::string length = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    const bool chunked =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING) != nullptr;
    request.hasBody = (!length.empty() && length.find_first_not_of('0') != std::string::npos) || chunked;
    if (!tracked->busy) {
      if (const int status = HeadProblem(connection, version, tracked->target.size() + request.method.size(),
                                         self->limits.headBytes)) {
        {
          std::lock_guard lock(self->mutex);
          tracked->busy = true;
        }
        tracked->mustClose = true;
        *uploadSize = 0;
        return self->Send(connection, tracked, request, self->Refused(request, status));
      }
    }
    // A replay's body is read, up to the size a replay can have, and only
    // with its length announced: nothing else's ever is.
    const std::string_view path = std::string_view(tracked->target).substr(0, tracked->target.find('?'));
    if (request.hasBody && request.method == "POST" && path == Service::kReplaysPath) {
      const bool fits = !chunked && length.size() <= 6 && length.find_first_not_of("0123456789") == std::string::npos &&
                        std::stoul(length) <= quibbleton::kMaxReplayBytes;
      if (fits && !tracked->busy) {
        tracked->body.clear();
        tracked->received = 0;
        std::lock_guard lock(self->mutex);
        tracked->busy = true;
        tracked->reading = true;
        tracked->bodyStarted = Clock::now();
        return MHD_YES;
      }
      if (tracked->reading && *uploadSize > 0) {
        const size_t room = quibbleton::kMaxReplayBytes - std::min(tracked->body.size(), quibbleton::kMaxReplayBytes);
        tracked->body.append(uploadData, std::min(*uploadSize, room));
        tracked->received = tracked->body.size();
        *uploadSize = 0;
        return MHD_YES;
      }
      if (tracked->reading) {
        // All of it is in: the connection can serve its next request.
        request.body = std::move(tracked->body);
        request.hasBody = false;
        std::lock_guard lock(self->mutex);
        tracked->reading = false;
      } else {
        request.bodyTooLarge = true;
      }
    }
    if (!tracked->busy) {
      {
        std::lock_guard lock(self->mutex);
        tracked->busy = true;
      }
      // Without a body the answer waits for the library's second call: one
      // queued on the first makes it close the connection, which is just
      // what a request with a body needs (its bytes are never read, so none
      // of them can be taken for a request of their own).
      if (!request.hasBody) return MHD_YES;
    }
    *uploadSize = 0;
    if (!self->atOnce) return self->Send(connection, tracked, request, self->handler(request));
    if (std::optional<Response> now = self->atOnce(request)) {
      return self->Send(connection, tracked, request, std::move(*now));
    }
    // The connection waits (its thread serves the others) until a worker
    // has the answer. It is suspended first: a resume must never come
    // before its suspension.
    {
      std::lock_guard lock(self->mutex);
      tracked->waiting = true;
      ++self->waiting;
      tracked->ready = false;
      tracked->request = std::move(request);
    }
    MHD_suspend_connection(connection);
    auto job = [self, connection, tracked](bool cancelled) {
      Request copy;
      {
        std::lock_guard lock(self->mutex);
        copy = tracked->request;
      }
      // A suspended connection is not watched, so its client's leaving is
      // seen here: the job is dropped, and costs the database nothing.
      pollfd peer{tracked->fd, POLLRDHUP, 0};
      if (!cancelled && poll(&peer, 1, 0) > 0 && (peer.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
        Response gone;
        gone.status = 499;  // as nginx logs it: the client closed the connection
        return self->Ready(connection, tracked, std::move(gone));
      }
      self->Ready(connection, tracked, cancelled ? self->Unavailable(copy) : self->handler(copy));
    };
    if (!self->workers->Submit(job)) self->Ready(connection, tracked, self->Unavailable(tracked->request));
    return MHD_YES;
  }

  // Under the mutex: one connection fewer waits for its answer.
  void Resumed() {
    if (--waiting == 0) wake.notify_all();
  }

  Response Refused(const Request& request, int status) {
    if (refused) return refused(request, status);
    Response r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    return r;
  }

  Response Unavailable(const Request& request) {
    if (unavailable) return unavailable(request);
    Response r;
    r.status = 503;
    r.headers.emplace_back("Retry-After", "30");
    return r;
  }

  // A worker's answer: the connection is resumed, and the library calls
  // Access again, which sends it. The connection may be gone as soon as it
  // is resumed, so nothing of it is touched after that.
  void Ready(MHD_Connection* connection, Tracked* tracked, Response answer) {
    {
      std::lock_guard lock(mutex);
      tracked->response = std::move(answer);
      tracked->ready = true;
    }
    MHD_resume_connection(connection);
  }

  MHD_Result Send(MHD_Connection* connection, Tracked* tracked, const Request& request, Response answer) {
    tracked->answered = true;
    MHD_Response* response = nullptr;
    if (answer.file) {
      // Sent from the disk; the library closes its own copy of the file.
      const int fd = dup(answer.file->fd);
      if (fd >= 0) response = MHD_create_response_from_fd64(static_cast<uint64_t>(answer.file->info.st_size), fd);
      if (!response && fd >= 0) close(fd);
    } else {
      response = MHD_create_response_from_buffer(answer.body.size(), answer.body.data(), MHD_RESPMEM_MUST_COPY);
    }
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    for (const auto& [name, value] : answer.headers) MHD_add_response_header(response, name.c_str(), value.c_str());
    // Bytes after a body the server does not read must never be taken for
    // the next request (a proxy would have sent them as part of this one).
    if (request.hasBody || tracked->mustClose) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    if (logger) logger(request, answer, std::chrono::duration<double>(Clock::now() - tracked->started).count());
    return queued;
  }

  // The answer is out: the connection's next request gets a fresh deadline.
  static void Completed(void* cls, MHD_Connection* connection, void**, MHD_RequestTerminationCode) {
    auto* self = static_cast<Impl*>(cls);
    Tracked* tracked = Of(connection);
    if (!tracked) return;
    std::lock_guard lock(self->mutex);
    tracked->busy = false;
    tracked->reading = false;
    tracked->since = Clock::now();
    tracked->due = tracked->since + std::chrono::seconds(self->limits.headSeconds);
  }

  // Once a second, connections whose request head or body is overdue, or
  // whose body comes too slowly, are cut off.
  void Sweep() {
    std::unique_lock lock(mutex);
    while (!wake.wait_for(lock, std::chrono::seconds(1), [this] { return stopping; })) {
      const Clock::time_point now = Clock::now();
      for (auto& [tracked, unused] : open) {
        if (tracked->cut) continue;
        if ((!tracked->busy && tracked->due < now) || (tracked->reading && BodyLate(*tracked, now))) Cut(*tracked);
      }
    }
  }

  bool Start(int fd, bool v6) {
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME |
                           (v6 ? MHD_USE_IPv6 : 0);
    // The library's own connection limit is twice this server's: the
    // server decides at accept (Policy), making room when it is full, and
    // a connection being cut still counts in the library until it closes.
    MHD_Daemon* daemon = MHD_start_daemon(
        flags, 0, &Policy, this, &Access, this, MHD_OPTION_LISTEN_SOCKET, fd, MHD_OPTION_THREAD_POOL_SIZE,
        limits.threads, MHD_OPTION_CONNECTION_LIMIT, 2 * limits.connections, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        limits.connectionMemory, MHD_OPTION_CONNECTION_TIMEOUT, limits.idleSeconds, MHD_OPTION_URI_LOG_CALLBACK,
        &UriLog, this, MHD_OPTION_NOTIFY_COMPLETED, &Completed, this, MHD_OPTION_NOTIFY_CONNECTION, &Notify, this,
        MHD_OPTION_END);
    if (!daemon) return false;
    daemons.push_back(daemon);
    return true;
  }
};

HttpServer::HttpServer(Handler handler, Logger logger, HttpLimits limits, Predicate atOnce, Handler unavailable,
                       Refusal refused)
    : impl_(std::make_unique<Impl>()) {
  impl_->refused = std::move(refused);
  impl_->handler = std::move(handler);
  impl_->logger = std::move(logger);
  impl_->limits = std::move(limits);
  impl_->atOnce = std::move(atOnce);
  impl_->unavailable = std::move(unavailable);
  if (impl_->atOnce) {
    impl_->workers = std::make_unique<RequestWorkers>(impl_->limits.workers, impl_->limits.waitingLimit,
                                                      std::chrono::milliseconds(impl_->limits.stallMs));
  }
  impl_->exemptKey = impl_->limits.exempt.empty() ? "" : LimitKey(impl_->limits.exempt);
}

HttpServer::~HttpServer() { Stop(); }

namespace {

struct Address {
  sockaddr_storage where{};
  socklen_t length = 0;
  const sockaddr* Sockaddr() const { return reinterpret_cast<const sockaddr*>(&where); }
};

// A listening socket on one address; -1 with errno set when it fails.
int ListenOn(const Address& address, int port, bool bothFamilies, int backlog) {
  const int family = address.where.ss_family;
  const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage where = address.where;
  if (family == AF_INET6) {
    // Beside an IPv4 socket of the same name the IPv6 one takes IPv6 only;
    // alone ("::") it takes both.
    const int only = bothFamilies ? 1 : 0;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only);
    reinterpret_cast<sockaddr_in6*>(&where)->sin6_port = htons(static_cast<uint16_t>(port));
  } else {
    reinterpret_cast<sockaddr_in*>(&where)->sin_port = htons(static_cast<uint16_t>(port));
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&where), address.length) != 0 || listen(fd, backlog) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

int PortOf(int fd) {
  sockaddr_storage where{};
  socklen_t length = sizeof where;
  getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length);
  return where.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&where)->sin6_port)
                                     : ntohs(reinterpret_cast<sockaddr_in*>(&where)->sin_port);
}

}  // namespace

int HttpServer::Listen(const std::string& host, int port) {
  // "localhost" is the loopback of both families, whatever the resolver's
  // files say (many list only 127.0.0.1).
  const std::vector<std::string> names =
      host == "localhost" ? std::vector<std::string>{"::1", "127.0.0.1"} : std::vector<std::string>{host};
  std::vector<Address> addresses;
  for (const std::string& name : names) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(name.empty() ? nullptr : name.c_str(), "0", &hints, &found); rc != 0) {
      throw std::runtime_error("cannot resolve " + name + ": " + gai_strerror(rc));
    }
    for (const addrinfo* a = found; a; a = a->ai_next) {
      if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
      Address address;
      std::memcpy(&address.where, a->ai_addr, a->ai_addrlen);
      address.length = a->ai_addrlen;
      const std::string text = AddressText(a->ai_addr);
      bool seen = false;
      for (const Address& other : addresses) seen = seen || AddressText(other.Sockaddr()) == text;
      if (!seen) addresses.push_back(address);
    }
    freeaddrinfo(found);
  }
  bool v4 = false, v6 = false;
  for (const Address& a : addresses) {
    v4 = v4 || a.where.ss_family == AF_INET;
    v6 = v6 || a.where.ss_family == AF_INET6;
  }
  // Port 0: the first socket picks the port and the others follow it; when
  // another program holds that port on a second family, try another.
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::vector<std::pair<int, bool>> sockets;
    int chosen = port;
    bool retry = false;
    std::string problem;
    for (const Address& a : addresses) {
      const int fd = ListenOn(a, chosen, v4 && v6, impl_->limits.backlog);
      if (fd < 0) {
        // A name that also stands for a family this machine lacks (::1
        // without IPv6) is served on the families it has.
        if (errno == EADDRNOTAVAIL || errno == EAFNOSUPPORT) continue;
        retry = port == 0 && !sockets.empty() && errno == EADDRINUSE;
        problem = std::strerror(errno);
        for (auto [open, unused] : sockets) close(open);
        sockets.clear();
        break;
      }
      if (chosen == 0) chosen = PortOf(fd);
      sockets.emplace_back(fd, a.where.ss_family == AF_INET6);
    }
    if (retry) continue;
    if (sockets.empty()) {
      throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port) +
                               (problem.empty() ? "" : ": " + problem));
    }
    for (size_t i = 0; i < sockets.size(); ++i) {
      if (!impl_->Start(sockets[i].first, sockets[i].second)) {
        for (size_t k = i; k < sockets.size(); ++k) close(sockets[k].first);
        Stop();
        throw std::runtime_error("cannot start the HTTP service");
      }
    }
    if (!impl_->sweeper.joinable()) impl_->sweeper = std::thread([this] { impl_->Sweep(); });
    return chosen;
  }
  throw std::runtime_error("cannot find a free port on every address of " + host);
}

void HttpServer::Stop() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
  }
  impl_->wake.notify_all();
  if (impl_->sweeper.joinable()) impl_->sweeper.join();
  // Every suspended connection is resumed with its answer before the
  // library may stop (requests not yet started are answered 503).
  if (impl_->workers) {
    impl_->workers->Stop();
    // The library must have taken up every resumed connection before it
    // stops (it may not stop with one still suspended).
    std::unique_lock lock(impl_->mutex);
    impl_->wake.wait_for(lock, std::chrono::seconds(5), [this] { return impl_->waiting == 0; });
  }
  // Open connections are closed, however far their requests got.
  for (MHD_Daemon* daemon : impl_->daemons) MHD_stop_daemon(daemon);
  impl_->daemons.clear();
}

double HttpServer::DatabaseWait() { return impl_->workers ? impl_->workers->OldestWait() : 0; }

}  // namespace score

// The programs' requests to the score server on Windows, by WinHTTP: a
// replay's post (blocking, on the poster's thread) and the deals' requests
// (each on a thread of its own, the answer taken by the frame that asks).
#include <windows.h>
#include <winhttp.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/device/page_post.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

// A WinHTTP handle, closed with its owner.
struct Handle {
  HINTERNET h = nullptr;
  explicit Handle(HINTERNET handle) : h(handle) {}
  ~Handle() {
    if (h) WinHttpCloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  explicit operator bool() const { return h != nullptr; }
};

struct Request {
  const wchar_t* method = L"GET";
  std::string address, body, playerKey;
  int timeoutMs = 5000;
  size_t maxBytes = 0;  // of the answer's body; 0 reads none
};

// Sends request; the answer's status and body (status 0 when none came or
// the body was longer than maxBytes).
PageAnswer Send(const Request& request) {
  PageAnswer answer;
  std::wstring address = Wide(request.address);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts)) return answer;
  // Only the web: an address naming another scheme goes nowhere.
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return answer;
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  Handle session(WinHttpOpen(L"Quibbleton", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                             WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return answer;
  const int t = request.timeoutMs;
  WinHttpSetTimeouts(session.h, t, t, t, t);
  Handle connection(WinHttpConnect(session.h, host.c_str(), parts.nPort, 0));
  if (!connection) return answer;
  const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
  Handle call(WinHttpOpenRequest(connection.h, request.method, path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
  if (!call) return answer;
  std::wstring headers;
  if (!request.body.empty() || request.method == std::wstring(L"POST"))
    headers += L"Content-Type: text/plain; charset=utf-8\r\n";
  if (!request.playerKey.empty()) headers += L"X-Player-Key: " + Wide(request.playerKey) + L"\r\n";
  const DWORD size = static_cast<DWORD>(request.body.size());
  if (!WinHttpSendRequest(call.h, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                          headers.empty() ? 0 : static_cast<DWORD>(-1L),
                          size ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA, size, size, 0) ||
      !WinHttpReceiveResponse(call.h, nullptr))
    return answer;
  DWORD status = 0, statusSize = sizeof status;
  if (!WinHttpQueryHeaders(call.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                           &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
    return answer;
  if (request.maxBytes == 0) {
    answer.status = static_cast<int>(status);
    return answer;
  }
  for (;;) {
    char chunk[8192];
    DWORD got = 0;
    if (!WinHttpReadData(call.h, chunk, sizeof chunk, &got)) return PageAnswer{};
    if (got == 0) break;
    if (answer.body.size() + got > request.maxBytes) return PageAnswer{};
    answer.body.append(chunk, got);
  }
  answer.status = static_cast<int>(status);
  return answer;
}

// The deals' requests under way, by number.
struct Pending {
  std::mutex lock;
  int next = 1;
  std::map<int, std::shared_ptr<std::optional<PageAnswer>>> answers;
};

Pending& Requests() {
  static Pending pending;
  return pending;
}

}  // namespace

void PostTextNow(const std::string& address, const std::string& body, const std::string& playerKey, int timeoutMs) {
  Request request;
  request.method = L"POST";
  request.address = address;
  request.body = body;
  request.playerKey = playerKey;
  request.timeoutMs = timeoutMs;
  Send(request);
}

int PageStartRequest(const char* method, const std::string& address, int timeoutMs) {
  Pending& p = Requests();
  auto slot = std::make_shared<std::optional<PageAnswer>>();
  int number;
  {
    std::lock_guard<std::mutex> held(p.lock);
    number = p.next++;
    p.answers[number] = slot;
  }
  Request request;
  request.method = std::string(method) == "POST" ? L"POST" : L"GET";
  request.address = address;
  request.timeoutMs = timeoutMs;
  // The answer's limit is the taker's; one far above any deal is read, and cut there.
  request.maxBytes = 1 << 20;
  std::thread([request, slot] {
    PageAnswer answer = Send(request);
    std::lock_guard<std::mutex> held(Requests().lock);
    *slot = std::move(answer);
  }).detach();
  return number;
}

std::optional<PageAnswer> PageTakeAnswer(int request, size_t maxBytes) {
  Pending& p = Requests();
  std::lock_guard<std::mutex> held(p.lock);
  const auto it = p.answers.find(request);
  if (it == p.answers.end()) return PageAnswer{};
  if (!it->second->has_value()) return std::nullopt;
  PageAnswer answer = std::move(**it->second);
  p.answers.erase(it);
  if (answer.body.size() > maxBytes) return PageAnswer{};
  return answer;
}

std::string PageQueryValue(const char*) { return {}; }

}  // namespace platform

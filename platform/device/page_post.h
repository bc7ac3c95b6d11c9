// The page's own requests, for the builds where libcurl is not: defined by
// the web backend (platform/web/) with the browser's fetch, and on Windows
// (platform/win32/) with WinHTTP. Nothing here waits: a post is left to the
// page (or a thread), and an answer is asked for each frame.
#pragma once

#include <optional>
#include <string>

namespace platform {

// A text POST in the background, with the header "X-Player-Key" when
// playerKey is not empty. Whatever becomes of it changes nothing for the
// program.
void PagePostText(const std::string& address, const std::string& body, const std::string& playerKey);

// The same POST, blocking until it is done or timeoutMs have passed; the
// answer is not read. Only http and https addresses are posted. Windows
// only: a thread of the caller's sends it (records/replay_poster).
void PostTextNow(const std::string& address, const std::string& body, const std::string& playerKey, int timeoutMs);

// A request (method "GET" or "POST", with no body) whose answer the program
// wants; it gives up after timeoutMs. Returns its number for PageTakeAnswer.
int PageStartRequest(const char* method, const std::string& address, int timeoutMs);

struct PageAnswer {
  int status = 0;  // 0 when no answer came (offline, refused, timed out, or a body over the limit)
  std::string body;
};
// Nothing while request is under way; once it has ended, its answer (a body
// of more than maxBytes counts as none), and the request is forgotten.
std::optional<PageAnswer> PageTakeAnswer(int request, size_t maxBytes);

// The value of name in the page's own query ("?daily=1"), empty when absent.
std::string PageQueryValue(const char* name);

}  // namespace platform

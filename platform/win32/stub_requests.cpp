// Placeholder until the WinHTTP requests land.
#include "platform/device/page_post.h"
namespace platform {
void PagePostText(const std::string&, const std::string&, const std::string&) {}
int PageStartRequest(const char*, const std::string&, int) { return 0; }
std::optional<PageAnswer> PageTakeAnswer(int, size_t) { return PageAnswer{}; }
std::string PageQueryValue(const char*) { return {}; }
}  // namespace platform

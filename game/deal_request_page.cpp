// A deal's request in the web build: the page's fetch, whose answer the
// game takes from the page each frame.
#include "game/deal_source.h"
#include "platform/device/page_post.h"

namespace {

class PageDealRequest final : public DealRequest {
 public:
  void Start(const std::string& address, bool post) override {
    request = platform::PageStartRequest(post ? "POST" : "GET", address, kTimeoutMs);
  }

  std::optional<Answer> Poll() override {
    if (request == 0) return std::nullopt;
    std::optional<platform::PageAnswer> taken = platform::PageTakeAnswer(request, kMaxAnswerBytes);
    if (!taken) return std::nullopt;
    request = 0;
    return Answer{taken->status, std::move(taken->body)};
  }

 private:
  int request = 0;
};

}  // namespace

std::unique_ptr<DealRequest> MakeDealRequest() { return std::make_unique<PageDealRequest>(); }

bool PageAsksForTheDailyDeal() { return platform::PageQueryValue("daily") == "1"; }

// A replay's post by the platform's own requests (WinHTTP on Windows).
#include "platform/device/page_post.h"
#include "records/replay_send.h"

namespace records {

void PrepareToSend() {}

void SendPost(const OutgoingPost& post, long timeoutMs) {
  platform::PostTextNow(post.address, post.body, post.playerKey, static_cast<int>(timeoutMs));
}

}  // namespace records

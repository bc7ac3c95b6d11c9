// A text POST in the background through the browser page (its fetch), for
// the web build, where libcurl is not; defined by the web backend
// (platform/web/). Whatever becomes of it changes nothing for the program.
#pragma once

#include <string>

namespace platform {

void PagePostText(const std::string& address, const std::string& body);

}  // namespace platform

// The sources a page's policy needs for the page's own inline scripts: one
// "'sha256-…'" for each <script> without a src, so that the policy allows
// exactly those scripts and no other inline script, whatever a page later
// gets inserted into it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace score {

std::vector<std::string> InlineScriptHashes(std::string_view html);

}  // namespace score

// Text from clients made safe for a log line: nothing a client sends can
// start a new line, move a terminal's cursor or colour it, or split a field.
#pragma once

#include <string>
#include <string_view>

namespace score {

// Control characters (C0, DEL), bytes above ASCII, spaces and backslashes
// become "\xNN"; everything else stays.
std::string EscapeForLog(std::string_view text);

}  // namespace score

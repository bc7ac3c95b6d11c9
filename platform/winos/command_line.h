// A program's command line on Windows, which hands a program one string
// that its C runtime splits into arguments again.
#pragma once

#include <string>
#include <vector>

namespace platform {

// args quoted so that the C runtime (and CommandLineToArgvW) splits the
// line into exactly args again.
std::wstring CommandLineOf(const std::vector<std::string>& args);

}  // namespace platform

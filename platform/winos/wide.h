// Paths and text between the layer's UTF-8 and Windows' UTF-16. The layer
// writes paths with "/" (as the other systems do, and as Windows accepts);
// what Windows hands back is turned to the same form.
#pragma once

#include <string>

namespace platform {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// The path with every "\" a "/".
std::string ForwardSlashes(std::string path);
// The message of Windows' last error as an errno value, for the callers
// that tell failures apart by errno.
int ErrnoOfLastError();

}  // namespace platform

// The name this process goes by in its messages and scripts.
#pragma once

#include <string>

namespace platform {

// The program's own name (from argv[0], without directory), e.g. "Quibbleton".
const std::string& ProgramName();
void SetProgramName(const std::string& name);

}  // namespace platform

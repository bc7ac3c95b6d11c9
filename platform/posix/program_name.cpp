#include "platform/posix/program_name.h"

namespace platform {
namespace {

std::string& Name() {
  static std::string name = "Quibbleton";
  return name;
}

}  // namespace

const std::string& ProgramName() { return Name(); }
void SetProgramName(const std::string& name) { Name() = name; }

}  // namespace platform

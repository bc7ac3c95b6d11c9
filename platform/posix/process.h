// This process and the programs it starts, on the operating system: other
// programs start with posix_spawn and an argument vector, never a shell.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts args[0] (searched on PATH when it holds no "/") with args as its
// argument vector, in directory when it is not empty, as a session of its
// own so that it outlives us. A thread of ours waits for its end, so it
// never stays a zombie. False when it could not be started.
bool StartDetachedProcess(const std::vector<std::string>& args, const std::string& directory);

// Opens an address (http, https, mailto) with the desktop's own program for
// it, the way the desktop's shell would. False when none could be started.
bool OpenWithSystem(const std::string& target);
// The file this process runs from, empty when it cannot be told.
std::string OwnExecutablePath();

// Sets a variable of this process's environment, which the programs it
// starts inherit.
bool SetEnvironmentValue(const std::string& name, const std::string& value);

// Whether path is a regular file this process may execute.
bool IsExecutableFile(const std::string& path);

}  // namespace platform

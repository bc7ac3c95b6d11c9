// File output and child processes for the artwork generator.
#pragma once

#include <string>
#include <vector>

namespace art {

// Writes the whole file through a temporary name and a rename, so an
// interrupted build never leaves a half-written asset behind.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);

// Runs a program from PATH with an argument vector (no shell) and waits for
// it; throws when it cannot be started or does not exit with 0.
void Run(const std::vector<std::string>& argv);

}  // namespace art

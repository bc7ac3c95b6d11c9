// The moderator's command, working on the database directly, so no
// endpoint for it ever faces the internet:
//   score-server admin [--db PATH|postgresql://…] hide ID | unhide ID | ban NAME | unban NAME | list-recent N
// A running server sees the change at its next read.
#pragma once

#include <cstdio>

namespace score {

// `argv` holds the arguments after "admin". Returns the exit code: 0 done,
// 1 nothing to do or the database failed, 2 a malformed command line.
int AdminMain(int argc, char** argv, std::FILE* out, std::FILE* err);

}  // namespace score

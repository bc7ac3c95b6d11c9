// Where a file of the programs really lives. The programs read and write by
// paths relative to their folders, as if their tree were always writable.
// An installed tree is not: a file written inside it, in a folder the user
// cannot write, goes to the user's data folder instead, at the same path
// relative to the launcher's directory, and every later read of that path
// takes the user's copy. Files never written are read from the tree.
#pragma once

#include <string>

#include "platform/posix/files.h"

namespace platform {

// The launcher's directory (absolute, links resolved), the root of the tree
// whose files may move to the user's folder; empty (the default) turns the
// rule off, as for a program that does not run from a program tree.
void SetLauncherDirectory(const std::string& dir);
const std::string& LauncherDirectory();

// The launcher's directory of a program in folder: the folder itself when
// the launcher lives there, its parent when a game's folder, else empty.
std::string FindLauncherDirectory(const std::string& programFolder);

// "$XDG_DATA_HOME/lobbo", or "$HOME/.local/share/lobbo" when it is unset,
// empty or relative.
std::string UserFilesDirectory();
// "$XDG_CONFIG_HOME/lobbo", or "$HOME/.config/lobbo", for settings of the
// user's desktop rather than of the programs (the window's size).
std::string UserSettingsDirectory();
// mkdir -p for the user's folders; they hold only this user's files.
void MakeFolders(const std::string& path);

enum class FileAccess { Read, Write };
// The place of treePath, a path already matched in the program tree. Reads
// get the user's copy when there is one; writes get the user's copy
// (its folders made) when the tree's folder is not writable.
std::string PlaceOf(const std::string& treePath, FileAccess access);
// The same, facts telling what is known of treePath already.
std::string PlaceOf(const std::string& treePath, FileAccess access, PathFacts facts);

}  // namespace platform

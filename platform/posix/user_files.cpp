#include "platform/posix/user_files.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/posix/files.h"
#include "platform/posix/path_memo.h"

namespace platform {
namespace {

// The program every launcher directory holds; a game's folder is one below it.
constexpr char kLauncherProgram[] = "Lobbo";
constexpr char kUserFolderName[] = "lobbo";

bool IsFile(const std::string& path) {
  struct stat st;
  return StatPath(path, &st) && S_ISREG(st.st_mode);
}

// Without write permission for anyone a folder counts as read-only even for
// root, whom access() lets through, as a read-only file does for the saves.
bool FolderWritable(const std::string& folder) {
  struct stat st;
  return StatPath(folder, &st) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) && MayWrite(folder);
}

// "$variable/lobbo", or "$HOME/fallback/lobbo" when it is unset, empty or relative.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* base = std::getenv(variable);
  if (base && base[0] == '/') return std::string(base) + "/" + kUserFolderName;
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') {
    const passwd* user = ::getpwuid(::getuid());
    home = user ? user->pw_dir : nullptr;
  }
  return std::string(home ? home : "") + "/" + fallback + "/" + kUserFolderName;
}

}  // namespace

void MakeFolders(const std::string& path) {
  // Mostly they are there already: one look instead of a mkdir for each level.
  struct stat st;
  if (StatPath(path, &st) && S_ISDIR(st.st_mode)) return;
  for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    const bool madeOrThere = ::mkdir(part.c_str(), 0700) == 0 || errno == EEXIST;
    if (!madeOrThere || slash == std::string::npos) break;
  }
  ForgetPathFacts();
}


std::string FindLauncherDirectory(const std::string& programFolder) {
  const std::string folder = RealPathOf(programFolder);
  if (folder.empty()) return {};
  if (IsFile(folder + "/" + kLauncherProgram)) return folder;
  const std::string parent = folder.substr(0, folder.find_last_of('/'));
  if (!parent.empty() && IsFile(parent + "/" + kLauncherProgram)) return parent;
  return {};
}

std::string UserFilesDirectory() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }
std::string UserSettingsDirectory() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string PlaceOf(const std::string& treePath, FileAccess access) { return PlaceOf(treePath, access, PathFacts()); }

std::string PlaceOf(const std::string& treePath, FileAccess access, PathFacts facts) {
  const std::string& root = LauncherDirectory();
  if (root.empty() || treePath.empty()) return treePath;
  const size_t slash = treePath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : treePath.substr(0, slash));
  const std::string name = slash == std::string::npos ? treePath : treePath.substr(slash + 1);
  // Folders are the tree's own: a game's folder must not turn into the user's folder of that game.
  if (name.empty() || name == "." || name == ".." || (LookUp(treePath, &facts) && S_ISDIR(facts.mode)))
    return treePath;
  std::string realFolder = RealPathOf(folder);
  // A folder the tree does not have (the game's "replays", say) is placed
  // by its parent (the current folder, for a name alone): it can only have
  // been made in the user's folder.
  const size_t parentEnd = folder.find_last_of('/');
  if (realFolder.empty() && parentEnd != 0) {
    const bool alone = parentEnd == std::string::npos;
    const std::string parent = RealPathOf(alone ? "." : folder.substr(0, parentEnd));
    if (!parent.empty()) realFolder = parent + (alone ? "/" + folder : folder.substr(parentEnd));
  }
  const bool inside = realFolder == root || realFolder.compare(0, root.size() + 1, root + "/") == 0;
  if (!inside || FolderWritable(realFolder)) return treePath;

  const std::string userFolder = UserFilesDirectory() + realFolder.substr(root.size());
  const std::string asWritten = userFolder + "/" + name;
  PathFacts copy;
  const std::string userCopy = MatchCase(asWritten, &copy);
  if (access == FileAccess::Write) {
    // A copy there as written has its folders; one found in another case
    // does not make them.
    if (userCopy != asWritten || !LookUp(userCopy, &copy)) MakeFolders(userFolder);
    return userCopy;
  }
  return LookUp(userCopy, &copy) && S_ISREG(copy.mode) ? userCopy : treePath;
}

}  // namespace platform

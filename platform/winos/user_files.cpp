// Where a file of the programs really lives on Windows. A tree installed
// where the user may not write (Program Files) keeps the files the programs
// write in the user's "%APPDATA%\Lobbo", at the same path below the
// launcher's directory; the window's size, a setting of this computer's
// desktop, goes to "%LOCALAPPDATA%\Lobbo".
#include "platform/posix/user_files.h"

#include <shlobj.h>
#include <windows.h>

#include <string>

#include "platform/posix/files.h"
#include "platform/posix/path_memo.h"
#include "platform/winos/wide.h"

namespace platform {
namespace {

// The program every launcher directory holds; a game's folder is one below it.
constexpr char kLauncherProgram[] = "Lobbo.exe";
constexpr char kUserFolderName[] = "Lobbo";

std::string& Root() {
  static std::string root;
  return root;
}

bool IsFile(const std::string& path) {
  struct stat st;
  return StatPath(path, &st) && S_ISREG(st.st_mode);
}

// Windows names paths in any case.
bool SamePath(const std::string& a, const std::string& b) {
  return CompareStringOrdinal(Wide(a).c_str(), -1, Wide(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool Inside(const std::string& folder, const std::string& root) {
  return SamePath(folder, root) ||
         (folder.size() > root.size() && folder[root.size()] == '/' && SamePath(folder.substr(0, root.size()), root));
}

// "KNOWN_FOLDER/Lobbo", or the environment's variable when the shell cannot tell.
std::string KnownFolder(REFKNOWNFOLDERID id, const char* variable) {
  std::string base;
  wchar_t* path = nullptr;
  if (SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &path) == S_OK) base = Utf8(path);
  CoTaskMemFree(path);
  if (base.empty())
    if (const char* value = std::getenv(variable)) base = value;
  return ForwardSlashes(base) + "/" + kUserFolderName;
}

}  // namespace

void MakeFolders(const std::string& path) {
  struct stat st;
  if (StatPath(path, &st) && S_ISDIR(st.st_mode)) return;
  // Past the drive ("C:/") or the share ("//server/share/"): each folder below in turn.
  size_t start = 1;
  if (path.size() > 2 && path[1] == ':') start = 3;
  else if (path.rfind("//", 0) == 0) start = path.find('/', path.find('/', 2) + 1);
  for (size_t slash = path.find('/', start);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    const bool madeOrThere = CreateDirectoryW(Wide(part).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    if (!madeOrThere || slash == std::string::npos) break;
  }
}

void SetLauncherDirectory(const std::string& dir) { Root() = dir; }
const std::string& LauncherDirectory() { return Root(); }

std::string FindLauncherDirectory(const std::string& programFolder) {
  const std::string folder = RealPathOf(programFolder);
  if (folder.empty()) return {};
  if (IsFile(folder + "/" + kLauncherProgram)) return folder;
  const size_t slash = folder.find_last_of('/');
  const std::string parent = slash == std::string::npos ? std::string() : folder.substr(0, slash);
  if (!parent.empty() && IsFile(parent + "/" + kLauncherProgram)) return parent;
  return {};
}

std::string UserFilesDirectory() { return KnownFolder(FOLDERID_RoamingAppData, "APPDATA"); }
std::string UserSettingsDirectory() { return KnownFolder(FOLDERID_LocalAppData, "LOCALAPPDATA"); }

std::string PlaceOf(const std::string& treePath, FileAccess access) { return PlaceOf(treePath, access, PathFacts()); }

std::string PlaceOf(const std::string& treePath, FileAccess access, PathFacts facts) {
  const std::string& root = Root();
  if (root.empty() || treePath.empty()) return treePath;
  const size_t slash = treePath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : treePath.substr(0, slash);
  const std::string name = slash == std::string::npos ? treePath : treePath.substr(slash + 1);
  // Folders are the tree's own: a game's folder must not turn into the user's folder of that game.
  if (name.empty() || name == "." || name == ".." || (LookUp(treePath, &facts) && S_ISDIR(facts.mode)))
    return treePath;
  std::string realFolder = RealPathOf(folder);
  // A folder the tree does not have (the game's "replays", say) is placed by
  // its parent: it can only have been made in the user's folder.
  const size_t parentEnd = folder.find_last_of('/');
  if (realFolder.empty()) {
    const bool alone = parentEnd == std::string::npos;
    const std::string parent = RealPathOf(alone ? "." : folder.substr(0, parentEnd));
    if (!parent.empty()) realFolder = parent + (alone ? "/" + folder : folder.substr(parentEnd));
  }
  if (realFolder.empty() || !Inside(realFolder, root) || MayWrite(realFolder)) return treePath;
  const std::string userFolder = UserFilesDirectory() + realFolder.substr(root.size());
  const std::string userCopy = userFolder + "/" + name;
  if (access == FileAccess::Write) {
    MakeFolders(userFolder);
    return userCopy;
  }
  PathFacts copy;
  return LookUp(userCopy, &copy) && S_ISREG(copy.mode) ? userCopy : treePath;
}

}  // namespace platform

// Paths, the current directory and directory search. Every file access of
// the programs goes through MapPath: "\" becomes "/", and where the exact
// path does not exist each component is matched case-insensitively. Files
// the user wrote beside a read-only program tree are found in the user's
// folder (platform/posix/user_files.h).
#pragma once

#include <cstdio>
#include <string>

#include "platform/win/wintypes.h"

namespace platform {
std::string MapPath(const char* windowsPath);
// The path with each component missing as written matched case-insensitively.
std::string MatchCase(const std::string& path);
// fopen through MapPath; a mode that writes takes the user's copy of a file
// in a read-only program tree.
FILE* OpenFile(const char* windowsPath, const char* mode);
// Saves data as the whole of path (see platform/file_save.h: atomically,
// under the file's lock, never replacing what is not a regular file). A
// path in a read-only program tree is written to the user's copy instead.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);
// One line on stderr naming a picture, sound or music file that did not load
// (kind "picture", "sound", "music"): the programs themselves go on silently.
void ReportUnloadable(const char* kind, const char* path);
}  // namespace platform

constexpr DWORD MAX_PATH = 260;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001u;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002u;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010u;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020u;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080u;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[MAX_PATH];
};

DWORD GetCurrentDirectoryA(DWORD size, char* buffer);
BOOL SetCurrentDirectoryA(const char* path);
HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE search);
// Makes a folder where files written into it will go: in the program tree,
// or in the user's copy of it when the tree is read-only. FALSE with
// ERROR_ALREADY_EXISTS when it is there already.
BOOL CreateDirectoryA(const char* path, void* securityAttributes);
// Removes the file a read of path would open.
BOOL DeleteFileA(const char* path);
DWORD GetLastError();
void SetLastError(DWORD error);

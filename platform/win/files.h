// The Windows calls on folders and the current directory, and the thread's
// last error, over the system's calls of platform/posix/files.h. Paths go
// through platform::MapPath.
#pragma once

#include "platform/posix/files.h"
#include "platform/win/wintypes.h"

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

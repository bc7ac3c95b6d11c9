// File reading and global memory for the sound library: CreateFileA,
// ReadFile, SetFilePointer (closed with CloseHandle from platform/win/sync.h) and
// GlobalAlloc/GlobalLock/GlobalUnlock/GlobalFree.
#pragma once

#include "platform/win/sync.h"
#include "platform/win/wintypes.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// Opens through platform::MapPath. Only OPEN_EXISTING with GENERIC_READ is
// supported (the sound library reads, it never writes); INVALID_HANDLE_VALUE
// on failure.
HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD attributes, HANDLE templateFile);
// Reads up to toRead bytes; *read is the count actually read (0 at the end).
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
// 32-bit positions only (highPart must be null or 0). Returns the new
// position, INVALID_SET_FILE_POINTER when it would be negative or the handle
// is not a file.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* highPart, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* highPart);

namespace platform {
// A read-only file handle over a copy of data, for tests and the fuzzer,
// served by ReadFile/SetFilePointer/CloseHandle like a real file.
HANDLE CreateMemoryFile(const void* data, size_t size);
}  // namespace platform

using HGLOBAL = void*;
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
// Returns null on success, the handle on failure.
HGLOBAL GlobalFree(HGLOBAL memory);
size_t GlobalSize(HGLOBAL memory);

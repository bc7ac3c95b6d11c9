// Files behind HANDLEs: an open file of the operating system, from platform/posix/system_file.h, or an in-memory copy. Reads are
// bounded by the caller's count and by the data present; positions never go
// below zero.
#include "platform/win/fileio.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/files.h"
#include "platform/posix/system_file.h"

namespace {

class FileObject final : public platform::HandleObject {
 public:
  platform::SystemFile file;   // a real file, or
  std::vector<uint8_t> bytes;  // the contents of a memory file
  uint64_t position = 0;       // memory file position
  std::mutex lock;             // a handle may be read from two threads
};

FileObject* FileOf(HANDLE h) { return dynamic_cast<FileObject*>(platform::LookUpHandle(h)); }

struct GlobalBlock {
  uint32_t magic;
  size_t size;
  int locks;
  void* data;
};
constexpr uint32_t kGlobalMagic = 0x474C4F42u;

GlobalBlock* BlockOf(HGLOBAL h) {
  auto* b = static_cast<GlobalBlock*>(h);
  return (b && b->magic == kGlobalMagic) ? b : nullptr;
}

}  // namespace

HANDLE CreateFileA(const char* path, DWORD access, DWORD, void*, DWORD creation, DWORD, HANDLE) {
  if (!path || creation != OPEN_EXISTING || (access & GENERIC_WRITE)) return INVALID_HANDLE_VALUE;
  std::string mapped = platform::MapPath(path);
  // Regular files only: a FIFO would block the sound library's load forever.
  platform::SystemFile file = platform::SystemFile::OpenForReading(mapped);
  if (!file.IsOpen()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto* f = new FileObject();
  f->file = std::move(file);
  return platform::RegisterHandle(f);
}

HANDLE platform::CreateMemoryFile(const void* data, size_t size) {
  auto* f = new FileObject();
  if (size) f->bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
  return RegisterHandle(f);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void*) {
  if (read) *read = 0;
  FileObject* f = FileOf(file);
  if (!f || (!buffer && toRead)) return FALSE;
  std::lock_guard<std::mutex> lock(f->lock);
  if (!f->file.IsOpen()) {
    uint64_t available = f->position < f->bytes.size() ? f->bytes.size() - f->position : 0;
    DWORD n = static_cast<DWORD>(available < toRead ? available : toRead);
    if (n) std::memcpy(buffer, f->bytes.data() + f->position, n);
    f->position += n;
    if (read) *read = n;
    return TRUE;
  }
  size_t total = 0;
  const bool ok = f->file.Read(buffer, toRead, &total);
  if (read) *read = static_cast<DWORD>(total);
  return ok;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* highPart, DWORD method) {
  FileObject* f = FileOf(file);
  if (!f || (highPart && *highPart != 0 && !(*highPart == -1 && distance < 0))) return INVALID_SET_FILE_POINTER;
  std::lock_guard<std::mutex> lock(f->lock);
  int64_t base;
  if (method == FILE_BEGIN) {
    base = 0;
  } else if (method == FILE_CURRENT) {
    base = f->file.IsOpen() ? f->file.Seek(0, platform::SystemFile::From::Current) : static_cast<int64_t>(f->position);
  } else if (method == FILE_END) {
    base = f->file.IsOpen() ? f->file.Seek(0, platform::SystemFile::From::End) : static_cast<int64_t>(f->bytes.size());
  } else {
    return INVALID_SET_FILE_POINTER;
  }
  int64_t target = base + distance;
  if (base < 0 || target < 0 || target >= 0xFFFFFFFFll) return INVALID_SET_FILE_POINTER;
  if (!f->file.IsOpen()) {
    f->position = static_cast<uint64_t>(target);
  } else if (f->file.Seek(target, platform::SystemFile::From::Start) < 0) {
    return INVALID_SET_FILE_POINTER;
  }
  if (highPart) *highPart = 0;
  return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file, DWORD* highPart) {
  if (highPart) *highPart = 0;
  FileObject* f = FileOf(file);
  if (!f) return 0xFFFFFFFFu;
  std::lock_guard<std::mutex> lock(f->lock);
  if (!f->file.IsOpen()) return static_cast<DWORD>(f->bytes.size());
  const int64_t size = f->file.Size();
  return size >= 0 ? static_cast<DWORD>(size) : 0xFFFFFFFFu;
}

HGLOBAL GlobalAlloc(UINT flags, size_t bytes) {
  void* data = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
  if (!data) return nullptr;
  auto* b = new GlobalBlock{kGlobalMagic, bytes, 0, data};
  return b;
}

void* GlobalLock(HGLOBAL memory) {
  GlobalBlock* b = BlockOf(memory);
  if (!b) return nullptr;
  ++b->locks;
  return b->data;
}

BOOL GlobalUnlock(HGLOBAL memory) {
  GlobalBlock* b = BlockOf(memory);
  if (!b || b->locks == 0) return FALSE;
  return --b->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  GlobalBlock* b = BlockOf(memory);
  if (!b) return memory;
  b->magic = 0;
  std::free(b->data);
  delete b;
  return nullptr;
}

size_t GlobalSize(HGLOBAL memory) {
  GlobalBlock* b = BlockOf(memory);
  return b ? b->size : 0;
}

// Whether this build may name the parts only a browser page's build defines
// (platform/web/): the page's video, audio output and clock. ELF and
// WebAssembly resolve a weak reference that nothing defines to null, so the
// tables ask for those parts by address. Windows' linker has no such
// reference (an undefined weak one fails the link), so a Windows build names
// them nowhere; its own parts (platform/win32/) are always there.
#pragma once

#ifdef _WIN32
#define QB_PAGE_PARTS 0
#else
#define QB_PAGE_PARTS 1
#endif

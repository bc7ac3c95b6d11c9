# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# threads flavour, for std::thread and std::mutex). The programs link their
# C and C++ runtimes statically, so the tree carries no DLL of the compiler.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QB_MINGW_PREFIX}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_FIND_ROOT_PATH /usr/${QB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests and programs built here run on this machine under Wine.
find_program(QB_WINE NAMES wine64 wine)
if(QB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QB_WINE})
endif()

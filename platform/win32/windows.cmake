# The windows preset: Lobbo.exe and Quibbleton.exe for 64-bit Windows,
# staged in build-windows/dist/ as the native build stages build/dist/: the
# launcher at the top, each game in its folder, every picture, sound and
# setting beside them. The programs link everything statically and call only
# what every Windows has, so the tree carries no DLL.
#
# The art is the native build's: its art tool draws it at build time with
# cairo, which MinGW has not. So the native release build (build/) comes first.
set(QB_NATIVE_DIST ${CMAKE_SOURCE_DIR}/build/dist CACHE PATH
    "the native build's staged tree, whose generated artwork the Windows tree carries")
if(NOT EXISTS ${QB_NATIVE_DIST}/Quibbleton/setup.ini)
  message(FATAL_ERROR "The Windows build carries the native build's artwork: build the release preset first "
                      "(cmake --preset release && cmake --build --preset release), or set QB_NATIVE_DIST.")
endif()

# No console window for the programs (the toolchain links libstdc++, libgcc
# and winpthreads in, so no DLL of the compiler goes with them).
set_target_properties(Lobbo Quibbleton PROPERTIES WIN32_EXECUTABLE ON SUFFIX ".exe")

# The icon the native build's art tool drew, and the manifest, in both programs.
enable_language(RC)
set(QB_WINDOWS_ICON ${QB_NATIVE_DIST}/../icons/lobbo.ico CACHE FILEPATH "the programs' icon (the native build's art)")
if(NOT EXISTS ${QB_WINDOWS_ICON})
  message(FATAL_ERROR "No ${QB_WINDOWS_ICON}: build the release preset again, whose art tool draws it.")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/programs.rc.in ${CMAKE_BINARY_DIR}/programs.rc @ONLY)
set_property(SOURCE ${CMAKE_BINARY_DIR}/programs.rc APPEND PROPERTY OBJECT_DEPENDS
             ${QB_WINDOWS_ICON} ${CMAKE_CURRENT_LIST_DIR}/programs.manifest)
target_sources(Lobbo PRIVATE ${CMAKE_BINARY_DIR}/programs.rc)
target_sources(Quibbleton PRIVATE ${CMAKE_BINARY_DIR}/programs.rc)

# The tree's pictures, sounds, music and settings (the players' files, written
# at run time, stay out).
file(GLOB_RECURSE QB_WINDOWS_ART RELATIVE ${QB_NATIVE_DIST} CONFIGURE_DEPENDS ${QB_NATIVE_DIST}/*)
list(FILTER QB_WINDOWS_ART INCLUDE REGEX "\\.(bmp|wav|ini|mp3)$")
list(FILTER QB_WINDOWS_ART EXCLUDE REGEX "(^|/)(options\\.ini|replays/.*)$")
set(QB_WINDOWS_ART_OUT)
foreach(f ${QB_WINDOWS_ART})
  add_custom_command(OUTPUT ${QB_DIST_DIR}/${f}
                     COMMAND ${CMAKE_COMMAND} -E copy ${QB_NATIVE_DIST}/${f} ${QB_DIST_DIR}/${f}
                     DEPENDS ${QB_NATIVE_DIST}/${f} VERBATIM)
  list(APPEND QB_WINDOWS_ART_OUT ${QB_DIST_DIR}/${f})
endforeach()
add_custom_target(windows_art ALL DEPENDS ${QB_WINDOWS_ART_OUT})

# The zip and the installer (packaging/windows/).
include(${CMAKE_SOURCE_DIR}/packaging/windows/packages.cmake)

# The Windows preset's tests: cross-built with MinGW-w64 and run under Wine
# (the toolchain makes Wine the emulator of add_test's targets). GoogleTest
# comes from Debian's sources, built by the cross compiler; the native build
# keeps the system's.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# One test per executable: each start of Wine costs seconds, so the cases of
# a group run in one process (GoogleTest's output names the case that failed).
add_custom_target(windows_tests)
function(qb_windows_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;SKIP" ${ARGN})
  set(target ${name}_tests)
  add_executable(${target} ${T_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/support/windows_test_environment.cpp)
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  target_compile_definitions(${target} PRIVATE
    QB_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QB_BINARY_DIR="${CMAKE_BINARY_DIR}" QB_DIST_DIR="${QB_DIST_DIR}")
  # M_PI and its kin, which MinGW's strict C++ hides.
  target_compile_definitions(${target} PRIVATE _USE_MATH_DEFINES)
  target_compile_options(${target} PRIVATE -include ${CMAKE_CURRENT_SOURCE_DIR}/support/posix_on_windows.h)
  set(filter "")
  if(T_SKIP)
    list(JOIN T_SKIP ":" skipped)
    set(filter --gtest_filter=-${skipped})
  endif()
  add_test(NAME windows.${name} COMMAND ${target} ${filter})
  set_tests_properties(windows.${name} PROPERTIES TIMEOUT 600)
  add_dependencies(windows_tests ${target})
endfunction()

set(T ${CMAKE_CURRENT_SOURCE_DIR})
# The rules alone, as natively (rules/).
file(GLOB QB_RULES_TEST_SOURCES CONFIGURE_DEPENDS ${T}/rules/*.cpp)
qb_windows_test(rules SOURCES ${QB_RULES_TEST_SOURCES} LIBS quibbleton_rules)
# The players' strings and typed text, and the pixel work without system calls.
qb_windows_test(records SOURCES ${T}/records/player_string_test.cpp ${T}/records/utf8_test.cpp LIBS records)
qb_windows_test(media SOURCES ${T}/platform/dirty_regions_test.cpp ${T}/platform/frame_diff_test.cpp
                              ${T}/platform/pcm_from_float_test.cpp LIBS platform_media)

# The rest of the framework reaches the operating system through posix/'s
# headers, which platform/winos/ implements with the Win32 API; they join
# when that room is there. The files left out reach what only POSIX has
# (FIFOs, fork and posix_spawn, sockets, the password database, device numbers) or
# SDL, which this build has not. The score server, the art tool, the web
# page and the installed package are tested natively only.
if(EXISTS ${CMAKE_SOURCE_DIR}/platform/winos)
  set(QB_WIN_LEAVE_OUT
    platform/bitmap_convert_test.cpp platform/blit_test.cpp platform/bmp_decode_test.cpp platform/platform_test.cpp
    platform/file_save_test.cpp platform/user_files_test.cpp platform/file_read_test.cpp
    platform/dirty_regions_test.cpp platform/frame_diff_test.cpp platform/pcm_from_float_test.cpp
    sound/device_test.cpp game/deal_source_test.cpp game/replay_store_test.cpp)
  # Cases whose subject is POSIX's alone: symbolic links (Wine makes none),
  # names that differ only in case or hold a backslash (one name, or none,
  # on Windows), Unix spellings of paths, scripts started as programs, the
  # names of a killed save's leftovers (posix/file_save's own).
  set(QB_WIN_SKIP_platform Profile.WritesGoThroughLinksKeepTheModeAndRespectReadOnlyFiles PathMatch.*
      Profile.AWriteRemovesWhatAKilledWriteLeftBehindAndNothingElse Paths.BackslashesAndCaseInsensitiveComponents
      ShellExecute.RecordsRequestsAndFindsExeWithoutSuffix ShellExecute.StartedProgramsAreReaped)
  set(QB_WIN_SKIP_launcher GameScan.PicturesThatAreNoButtonsAreSkippedAndSaidAndBackslashesStayInNames
      GamePages.CommandLineSelectsTheLastGameWhoseExecutableBeginsWithIt)
  foreach(name platform screens shell sound widgets game launcher)
    file(GLOB sources CONFIGURE_DEPENDS ${T}/${name}/*.cpp)
    foreach(out ${QB_WIN_LEAVE_OUT})
      list(REMOVE_ITEM sources ${T}/${out})
    endforeach()
    qb_windows_test(${name} SOURCES ${sources} LIBS ${QB_TEST_LIBS} SKIP ${QB_WIN_SKIP_${name}})
  endforeach()
  # Windows' own MP3 decoding is checked against the reference decoder's
  # output of the game's music (lame, which draws the music natively).
  find_program(QB_LAME lame REQUIRED)
  set(QB_MUSIC_MP3 ${QB_NATIVE_DIST}/Quibbleton/sounds/music.mp3)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/music_native.wav
    COMMAND ${QB_LAME} --decode --quiet ${QB_MUSIC_MP3} ${CMAKE_CURRENT_BINARY_DIR}/music_native.wav
    DEPENDS ${QB_MUSIC_MP3} VERBATIM)
  add_custom_target(music_native_wav DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/music_native.wav)
  add_dependencies(platform_tests music_native_wav)
  target_compile_definitions(platform_tests PRIVATE
    QB_MUSIC_REFERENCE="${CMAKE_CURRENT_BINARY_DIR}/music_native.wav")
  file(GLOB sources CONFIGURE_DEPENDS ${T}/winos/*.cpp)
  qb_windows_test(winos SOURCES ${sources} LIBS platform)
  target_link_libraries(game_tests PRIVATE game_logic)
  target_link_libraries(widgets_tests PRIVATE game_logic)
  target_link_libraries(launcher_tests PRIVATE launcher_logic)
endif()

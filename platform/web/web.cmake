# The web preset: both programs for a browser (Emscripten), staged in
# build-web/dist/ as the native build stages build/dist/: the launcher's page
# at the top, each game's page in its folder.
#
#   dist/index.html  qb_page.js  Lobbo.js  Lobbo.wasm  Lobbo.data
#   dist/Quibbleton/index.html  Quibbleton.js  Quibbleton.wasm  Quibbleton.data
#   (staged only) Quibbleton/sounds/music.mp3, outside the package
#
# The pictures, sounds and settings are the native build's: its art tool
# draws them at build time and needs cairo, which Emscripten has not. So the
# native release build (build/) comes first.
set(QB_NATIVE_DIST ${CMAKE_SOURCE_DIR}/build/dist CACHE PATH
    "the native build's staged tree, whose generated artwork the web pages package")
if(NOT EXISTS ${QB_NATIVE_DIST}/Quibbleton/setup.ini)
  message(FATAL_ERROR "The web build packages the native build's artwork: build the release preset first "
                      "(cmake --preset release && cmake --build --preset release), or set QB_NATIVE_DIST.")
endif()

set(QB_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
# No threads (no cross-origin isolation needed): the blocking waits yield to
# the page through Asyncify, and the sound library's threads are fibers.
set(QB_WEB_LINK_OPTIONS
    -sASYNCIFY -sASYNCIFY_STACK_SIZE=262144 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864
    -sTOTAL_STACK=1048576 -sENVIRONMENT=web -sFORCE_FILESYSTEM=1 -lidbfs.js
    --js-library ${QB_WEB_DIR}/qb_web.js "-sEXPORTED_FUNCTIONS=['_main','_malloc','_free']"
    "-sEXPORTED_RUNTIME_METHODS=['FS','ENV','UTF8ToString','stringToUTF8','addRunDependency','removeRunDependency']")

# What a program's package holds: the tree's pictures, sounds and settings
# below folder (the players' files, written at run time, stay out). The
# music is no part of it: a program starts once its package is here, and
# plays its music when that has come (qb_web_music_files).
function(qb_web_package_files out folder recurse)
  if(recurse)
    file(GLOB_RECURSE found RELATIVE ${QB_NATIVE_DIST} ${QB_NATIVE_DIST}/${folder}/*)
  else()
    file(GLOB found RELATIVE ${QB_NATIVE_DIST} ${QB_NATIVE_DIST}/${folder}/*)
  endif()
  list(FILTER found INCLUDE REGEX "\\.(bmp|wav|ini)$")
  list(FILTER found EXCLUDE REGEX "(^|/)(options\\.ini|replays/.*)$")
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The tree's music, staged as files of their own beside the pages, where the
# page fetches each when its program opens it.
file(GLOB_RECURSE QB_WEB_MUSIC_FILES RELATIVE ${QB_NATIVE_DIST} ${QB_NATIVE_DIST}/*.mp3)

# A page is served by the score server, so its links to the server are its
# own site's: the packaged setup.ini's "home" and "scores" become "/" (the
# native tree's, naming http://localhost:8080, stays as it is).
function(qb_web_setup_ini out file)
  set(source ${QB_NATIVE_DIST}/${file})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REGEX REPLACE "(^|\n)(home|scores)=[^\r\n]*" "\\1\\2=/" text "${text}")
  # file(READ) drops the carriage returns; the tree's settings end lines as Windows does.
  string(REPLACE "\n" "\r\n" text "${text}")
  set(web ${CMAKE_BINARY_DIR}/web-files/${file})
  file(WRITE ${web}.new "${text}")
  configure_file(${web}.new ${web} COPYONLY)  # rewritten only when it changes
  set(${out} ${web} PARENT_SCOPE)
endfunction()

function(qb_web_program target folder)
  set(options ${QB_WEB_LINK_OPTIONS})
  foreach(file ${ARGN})
    set(source ${QB_NATIVE_DIST}/${file})
    if(file MATCHES "(^|/)setup\\.ini$")
      qb_web_setup_ini(source ${file})
    endif()
    list(APPEND options "SHELL:--preload-file ${source}@/dist/${file}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${source})
  endforeach()
  target_link_options(${target} PRIVATE ${options})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${QB_WEB_DIR}/qb_web.js)
endfunction()

# The launcher's package: its own files, and each game's button and settings,
# by which it lists the games, and its title pictures, which its title menu shows.
qb_web_package_files(QB_LAUNCHER_FILES "." OFF)
file(GLOB QB_GAME_FOLDERS RELATIVE ${QB_NATIVE_DIST} ${QB_NATIVE_DIST}/*/LobboButton.bmp)
foreach(button ${QB_GAME_FOLDERS})
  get_filename_component(game ${button} DIRECTORY)
  qb_web_package_files(title_files ${game}/title ON)
  list(APPEND QB_LAUNCHER_FILES ${game}/LobboButton.bmp ${game}/setup.ini ${title_files})
endforeach()
qb_web_program(Lobbo "." ${QB_LAUNCHER_FILES})
qb_web_package_files(QB_GAME_FILES Quibbleton ON)
# The launcher's title pictures are its own; the game shows only its help from there.
list(FILTER QB_GAME_FILES EXCLUDE REGEX "^Quibbleton/title/")
list(APPEND QB_GAME_FILES Quibbleton/title/HowToPlay.bmp Quibbleton/title/HowToPlayTouch.bmp)
# The game asks the score server the launcher's settings name for deals.
list(APPEND QB_GAME_FILES setup.ini)
qb_web_program(Quibbleton Quibbleton ${QB_GAME_FILES})

# The pages. Their addresses of the build's files carry "%v:FILE%", which
# the staging (stage.cmake) replaces by the file's content hash.
function(qb_web_page folder name root args description)
  set(QB_PAGE_NAME ${name})
  set(QB_PAGE_ROOT ${root})
  set(QB_PAGE_SCRIPT ${name}.js)
  set(QB_PAGE_FOLDER /dist${folder})
  string(REGEX REPLACE "^/(.+)$" "\\1/" QB_PAGE_DIR "${folder}")
  set(QB_PAGE_PROGRAMS "'/dist/Lobbo', '/dist/Quibbleton/Quibbleton'")
  set(QB_PAGE_ARGS "${args}")
  set(QB_PAGE_DESCRIPTION "${description}")
  # The page's music by its versioned address (qb_page.js fetches it when the program opens it).
  set(QB_PAGE_MUSIC_VERSIONS "")
  foreach(music ${QB_WEB_MUSIC_FILES})
    if(music MATCHES "^${QB_PAGE_DIR}(.+)$")
      string(APPEND QB_PAGE_MUSIC_VERSIONS ", '${CMAKE_MATCH_1}': '%v:${music}%'")
    endif()
  endforeach()
  configure_file(${QB_WEB_DIR}/page/program.html.in ${QB_DIST_DIR}${folder}/index.html @ONLY)
endfunction()
qb_web_page("" Lobbo "./" "" "Lobbo: pick a game, choose who is playing and see the hall of fame.")
qb_web_page("/Quibbleton" Quibbleton "../" "'/dist'"
            "Quibbleton, a timed mouse puzzle: clear the board of heads by colour and by face before the dots run out.")
configure_file(${QB_WEB_DIR}/page/qb_page.js ${QB_DIST_DIR}/qb_page.js COPYONLY)
# The app: its manifest and its service worker, which keeps the build for offline play.
configure_file(${QB_WEB_DIR}/page/manifest.webmanifest.in ${QB_DIST_DIR}/manifest.webmanifest.in COPYONLY)
configure_file(${QB_WEB_DIR}/page/sw.js.in ${QB_DIST_DIR}/sw.js.in COPYONLY)

# Staged beside the native build's score server (build/web/), where it looks
# by default, with the compressed siblings it serves: copied only when
# changed, so a sibling stays newer than its unchanged file. The app's icons
# are the art tool's, from the native build.
get_filename_component(QB_WEB_STAGE_DEFAULT ${QB_NATIVE_DIST}/../web ABSOLUTE)
get_filename_component(QB_WEB_ICONS ${QB_NATIVE_DIST}/../icons ABSOLUTE)
set(QB_WEB_STAGE ${QB_WEB_STAGE_DEFAULT} CACHE PATH "where the pages are staged for the score server")
set(QB_WEB_STAGED_FILES qb_page.js Lobbo.js Lobbo.wasm Lobbo.data
    Quibbleton/Quibbleton.js Quibbleton/Quibbleton.wasm Quibbleton/Quibbleton.data
    ${QB_WEB_ICONS}/web-192.png=icon-192.png ${QB_WEB_ICONS}/web-512.png=icon-512.png
    ${QB_WEB_ICONS}/lobbo-256.png=icon-256.png
    ${QB_WEB_ICONS}/web-maskable-512.png=icon-maskable-512.png)
# The music, outside the packages, beside the pages.
foreach(music ${QB_WEB_MUSIC_FILES})
  list(APPEND QB_WEB_STAGED_FILES ${QB_NATIVE_DIST}/${music}=${music})
endforeach()
set(QB_WEB_TEMPLATES index.html Quibbleton/index.html manifest.webmanifest.in sw.js.in)
add_custom_target(web_stage ALL
  COMMAND ${CMAKE_COMMAND} -DFROM=${QB_DIST_DIR} -DTO=${QB_WEB_STAGE} "-DFILES=${QB_WEB_STAGED_FILES}"
          "-DTEMPLATES=${QB_WEB_TEMPLATES}" "-DPAGES=./;Quibbleton/;manifest.webmanifest" -P ${QB_WEB_DIR}/stage.cmake
  COMMAND ${CMAKE_COMMAND} -DDIR=${QB_WEB_STAGE} -P ${CMAKE_SOURCE_DIR}/server/precompress.cmake
  DEPENDS Lobbo Quibbleton
  COMMENT "Staging the pages in ${QB_WEB_STAGE} for the score server"
  VERBATIM)

# The web benchmark's yardstick: a bare page that sleeps 100 ms a frame
# through Asyncify, staged apart from the pages (build/web-bench/).
add_executable(web_bare_page ${CMAKE_SOURCE_DIR}/bench/web_bare_page.c)
set_target_properties(web_bare_page PROPERTIES OUTPUT_NAME bare SUFFIX .js)
target_link_options(web_bare_page PRIVATE -sASYNCIFY -sENVIRONMENT=web)
get_filename_component(QB_WEB_BENCH_STAGE ${QB_WEB_STAGE}/../web-bench ABSOLUTE)
add_custom_command(TARGET web_bare_page POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QB_WEB_BENCH_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE_DIR:web_bare_page>/bare.js
          $<TARGET_FILE_DIR:web_bare_page>/bare.wasm ${QB_WEB_BENCH_STAGE}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/bench/web_bare_page.html
          ${QB_WEB_BENCH_STAGE}/index.html
  VERBATIM)

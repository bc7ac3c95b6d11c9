# Writes the precompressed siblings the score server serves beside each
# compressible file of a web build: NAME.gz (gzip -9) and, with Debian's
# brotli tool, NAME.br (quality 11). A sibling is kept only when it saves at
# least a twentieth, and is remade only when its file is newer. Compressing
# here, once, costs the server nothing per request and gets the smallest
# files; the server picks a sibling by the client's Accept-Encoding.
#   cmake -DDIR=build/web -P server/precompress.cmake
if(NOT DIR OR NOT IS_DIRECTORY "${DIR}")
  message(FATAL_ERROR "precompress: DIR must name the web build's folder")
endif()
find_program(GZIP gzip REQUIRED)
find_program(BROTLI brotli)
file(GLOB_RECURSE files LIST_DIRECTORIES false "${DIR}/*.html" "${DIR}/*.js" "${DIR}/*.wasm" "${DIR}/*.data"
     "${DIR}/*.bmp" "${DIR}/*.wav" "${DIR}/*.ini" "${DIR}/*.json" "${DIR}/*.css" "${DIR}/*.ico"
     "${DIR}/*.webmanifest")
foreach(file ${files})
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(SIZE "${file}" size)
  foreach(suffix IN ITEMS gz br)
    if(suffix STREQUAL "br" AND NOT BROTLI)
      continue()
    endif()
    set(sibling "${file}.${suffix}")
    if(EXISTS "${sibling}" AND NOT "${file}" IS_NEWER_THAN "${sibling}")
      continue()
    endif()
    if(suffix STREQUAL "gz")
      execute_process(COMMAND "${GZIP}" -9 -n -k -f "${file}" RESULT_VARIABLE failed)
    else()
      execute_process(COMMAND "${BROTLI}" -q 11 -k -f "${file}" RESULT_VARIABLE failed)
    endif()
    if(failed)
      message(FATAL_ERROR "precompress: could not compress ${file}")
    endif()
    file(SIZE "${sibling}" packed)
    math(EXPR most "${size} - ${size} / 20")
    if(packed GREATER most)
      file(REMOVE "${sibling}")
    else()
      # The tools copy the file's time; a sibling made now is newer.
      file(TOUCH_NOCREATE "${sibling}")
    endif()
  endforeach()
endforeach()

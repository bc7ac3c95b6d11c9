# Stages the web build for the score server, run at build time:
#   cmake -DFROM=DIR -DTO=DIR -DFILES=a;b -DTEMPLATES=a;b -DPAGES=a;b -P stage.cmake
# FILES (relative to FROM, or absolute SOURCE=NAME pairs for files from
# elsewhere) are copied only when changed, so a compressed sibling stays
# newer than its unchanged file. TEMPLATES (relative to FROM; NAME.in are
# written as NAME) are written with each "%v:FILE%" replaced by FILE's content
# hash, and the service worker's %QB_FILES%, %QB_PAGES% and %QB_BUILD% by
# the staged files' versioned addresses, the pages and the build's hash.
# The server keeps a file named with "?v=HASH" for good, so every address
# that carries one must change whenever the file does: hence hashes of the
# staged bytes, taken here rather than when the build is configured.
foreach(required FROM TO FILES TEMPLATES PAGES)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "stage.cmake: ${required} is not set")
  endif()
endforeach()

function(write_if_changed path text)
  if(EXISTS "${path}")
    file(READ "${path}" old)
    if(old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${path}" "${text}")
endfunction()

set(staged "")
foreach(entry ${FILES})
  if(entry MATCHES "^(/[^=]+)=(.+)$")
    set(source "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
  else()
    set(source "${FROM}/${entry}")
    set(name "${entry}")
  endif()
  get_filename_component(folder "${TO}/${name}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}" "${TO}/${name}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "stage.cmake: could not copy ${source}")
  endif()
  list(APPEND staged "${name}")
endforeach()

# A file's version: the first 16 hex digits of its SHA-256.
function(version_of out name)
  if(NOT EXISTS "${TO}/${name}")
    message(FATAL_ERROR "stage.cmake: a page names ${name}, which the build does not stage")
  endif()
  file(SHA256 "${TO}/${name}" hash)
  string(SUBSTRING "${hash}" 0 16 hash)
  set(${out} "${hash}" PARENT_SCOPE)
endfunction()

set(files_list "")
set(build_versions "")
foreach(name ${staged})
  version_of(v "${name}")
  string(APPEND files_list "'${name}?v=${v}', ")
  string(APPEND build_versions "${name}=${v};")
endforeach()
set(pages_list "")
foreach(page ${PAGES})
  string(APPEND pages_list "'${page}', ")
endforeach()

foreach(template ${TEMPLATES})
  file(READ "${FROM}/${template}" text)
  string(REGEX MATCHALL "%v:[^%\n]+%" tokens "${text}")
  list(REMOVE_DUPLICATES tokens)
  foreach(token ${tokens})
    string(REGEX REPLACE "^%v:(.*)%$" "\\1" name "${token}")
    version_of(v "${name}")
    string(REPLACE "${token}" "${v}" text "${text}")
  endforeach()
  string(SHA256 build "${build_versions}${text}")
  string(SUBSTRING "${build}" 0 16 build)
  string(REPLACE "%QB_FILES%" "${files_list}" text "${text}")
  string(REPLACE "%QB_PAGES%" "${pages_list}" text "${text}")
  string(REPLACE "%QB_BUILD%" "${build}" text "${text}")
  string(REGEX REPLACE "\\.in$" "" name "${template}")
  get_filename_component(folder "${TO}/${name}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  write_if_changed("${TO}/${name}" "${text}")
endforeach()

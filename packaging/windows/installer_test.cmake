cmake_minimum_required(VERSION 3.25)
# The installer under Wine (cmake -P, WINE, INSTALLER, STAGE, WORK): a silent
# install into WORK puts exactly the staged tree and its uninstaller there;
# the uninstaller then removes that tree and keeps the players' files
# written meanwhile (the launcher's options.ini, a game's table and replay).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(dir ${WORK}/Lobbo)
# Z: is the root of the Unix tree under Wine; /D= must come last, unquoted.
string(REPLACE "/" "\\" winDir "Z:${dir}")

function(run)
  execute_process(COMMAND ${WINE} ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exit ${rc}")
  endif()
endfunction()

run(${INSTALLER} /S /D=${winDir})
file(GLOB_RECURSE staged RELATIVE ${STAGE} ${STAGE}/*)
file(GLOB_RECURSE installed RELATIVE ${dir} ${dir}/*)
# Windows' names ignore case: two staged names that differ only in case are
# one installed file (stage.cmake warns of them).
set(expected ${staged} Uninstall.exe)
string(TOLOWER "${expected}" expected)
string(TOLOWER "${installed}" installed)
list(REMOVE_DUPLICATES expected)
list(SORT expected)
list(SORT installed)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n${installed}\nbut the staged tree is:\n${expected}")
endif()
if(NOT installed MATCHES "(^|;)lobbo\\.exe;" OR NOT installed MATCHES "(^|;)quibbleton/quibbleton\\.exe(;|$)")
  message(FATAL_ERROR "the programs are not installed: ${installed}")
endif()

# The Start-menu entry, in the prefix's own folders.
set(prefix $ENV{WINEPREFIX})
if(NOT prefix)
  set(prefix $ENV{HOME}/.wine)
endif()
file(GLOB shortcut "${prefix}/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Lobbo.lnk")
if(NOT shortcut)
  message(FATAL_ERROR "no Start-menu entry under ${prefix}")
endif()

set(saves options.ini Quibbleton/hiscore.dat Quibbleton/replays/Ann-100.txt)
foreach(f ${saves})
  file(WRITE ${dir}/${f} "a player's\n")
endforeach()
# _?= runs the uninstaller in place and waits for it (without it, it copies
# itself away and returns at once); it cannot delete itself then.
run(${dir}/Uninstall.exe /S _?=${winDir})
file(REMOVE ${dir}/Uninstall.exe)
file(GLOB_RECURSE left RELATIVE ${dir} ${dir}/*)
list(SORT left)
list(SORT saves)
if(NOT left STREQUAL saves)
  message(FATAL_ERROR "after the uninstall:\n${left}\nbut only the players' files should be left:\n${saves}")
endif()
if(EXISTS "${shortcut}")
  message(FATAL_ERROR "the Start-menu entry is left: ${shortcut}")
endif()
file(REMOVE_RECURSE ${WORK})

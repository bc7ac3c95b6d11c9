cmake_minimum_required(VERSION 3.25)
# The zip under Wine (cmake -P, WINE, ZIP, WORK): unpacked in a folder of its
# own, the game there starts (from the launcher folder there, as Lobbo starts
# it), plays a seeded scripted moment and dumps it.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${WORK})
set(game ${WORK}/Lobbo/Quibbleton)
if(NOT EXISTS ${WORK}/Lobbo/Lobbo.exe OR NOT EXISTS ${game}/Quibbleton.exe)
  message(FATAL_ERROR "the zip holds no Lobbo/Lobbo.exe and Lobbo/Quibbleton/Quibbleton.exe")
endif()
file(WRITE ${game}/script.txt "200 click left 50 375\n1000 dump state.txt\n1100 tap ESC\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env QB_VIDEO=headless QB_CLOCK=virtual QB_AUDIO=null QB_SEED=4242
                        QB_SCRIPT=script.txt QB_MAX_TICKS=5000 ${WINE} ${game}/Quibbleton.exe ${WORK}/Lobbo
                WORKING_DIRECTORY ${game} RESULT_VARIABLE rc ERROR_VARIABLE errors)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Quibbleton.exe from the zip: exit ${rc}\n${errors}")
endif()
file(READ ${game}/state.txt state)
if(NOT state MATCHES "screen game\nstate playing\n")
  message(FATAL_ERROR "the game from the zip did not play:\n${state}\n${errors}")
endif()
file(REMOVE_RECURSE ${WORK})

# What a Windows player gets, from the Windows preset's staged tree
# (dist/): the tree alone copied to package/Lobbo/ (stage.cmake), then
#   windows_zip        Lobbo.zip, that folder, run from wherever it is unpacked
#   windows_installer  Lobbo-setup.exe (NSIS: lobbo.nsi), a per-user install
# both in the build folder.
set(QB_WIN_STAGE ${CMAKE_BINARY_DIR}/package/Lobbo)
set(QB_WIN_LISTS ${CMAKE_BINARY_DIR}/package/install.nsh ${CMAKE_BINARY_DIR}/package/uninstall.nsh)
add_custom_target(windows_package_tree
  COMMAND ${CMAKE_COMMAND} -DDIST=${QB_DIST_DIR} -DSTAGE=${QB_WIN_STAGE}
          -DINSTALL_LIST=${CMAKE_BINARY_DIR}/package/install.nsh
          -DUNINSTALL_LIST=${CMAKE_BINARY_DIR}/package/uninstall.nsh
          -P ${CMAKE_CURRENT_LIST_DIR}/stage.cmake
  BYPRODUCTS ${QB_WIN_LISTS}
  COMMENT "Staging the Windows package's tree"
  VERBATIM)
add_dependencies(windows_package_tree Lobbo Quibbleton windows_art)

add_custom_target(windows_zip
  COMMAND ${CMAKE_COMMAND} -E rm -f ${CMAKE_BINARY_DIR}/Lobbo.zip
  COMMAND ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/Lobbo.zip --format=zip Lobbo
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/package
  BYPRODUCTS ${CMAKE_BINARY_DIR}/Lobbo.zip
  COMMENT "Lobbo.zip"
  VERBATIM)
add_dependencies(windows_zip windows_package_tree)

find_program(QB_MAKENSIS makensis)
if(QB_MAKENSIS)
  add_custom_target(windows_installer
    COMMAND ${QB_MAKENSIS} -V2 -DOUTFILE=${CMAKE_BINARY_DIR}/Lobbo-setup.exe
            -DINSTALL_LIST=${CMAKE_BINARY_DIR}/package/install.nsh
            -DUNINSTALL_LIST=${CMAKE_BINARY_DIR}/package/uninstall.nsh
            ${CMAKE_CURRENT_LIST_DIR}/lobbo.nsi
    BYPRODUCTS ${CMAKE_BINARY_DIR}/Lobbo-setup.exe
    COMMENT "Lobbo-setup.exe"
    VERBATIM)
  add_dependencies(windows_installer windows_package_tree)
endif()

# The checks under Wine build the zip and the installer first. Each build
# stages the tree anew, so the four take turns.
if(QB_WINE)
  add_test(NAME windows.zip_build COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target windows_zip)
  set_tests_properties(windows.zip_build PROPERTIES
                       FIXTURES_SETUP windows_zip RESOURCE_LOCK windows_package TIMEOUT 900)
  add_test(NAME windows.zip
           COMMAND ${CMAKE_COMMAND} -DWINE=${QB_WINE} -DZIP=${CMAKE_BINARY_DIR}/Lobbo.zip
                   -DWORK=${CMAKE_BINARY_DIR}/zip-test -P ${CMAKE_CURRENT_LIST_DIR}/zip_test.cmake)
  set_tests_properties(windows.zip PROPERTIES FIXTURES_REQUIRED windows_zip RESOURCE_LOCK windows_package TIMEOUT 300)
endif()
if(QB_MAKENSIS AND QB_WINE)
  add_test(NAME windows.installer_build
           COMMAND ${CMAKE_COMMAND} --build ${CMAKE_BINARY_DIR} --target windows_installer)
  set_tests_properties(windows.installer_build PROPERTIES
                       FIXTURES_SETUP windows_installer RESOURCE_LOCK windows_package TIMEOUT 900)
  add_test(NAME windows.installer
           COMMAND ${CMAKE_COMMAND} -DWINE=${QB_WINE} -DINSTALLER=${CMAKE_BINARY_DIR}/Lobbo-setup.exe
                   -DSTAGE=${QB_WIN_STAGE} -DWORK=${CMAKE_BINARY_DIR}/installer-test
                   -P ${CMAKE_CURRENT_LIST_DIR}/installer_test.cmake)
  set_tests_properties(windows.installer PROPERTIES
                       FIXTURES_REQUIRED windows_installer RESOURCE_LOCK windows_package TIMEOUT 300)
endif()

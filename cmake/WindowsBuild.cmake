# Windows-only parts of the build: running test programs under Wine, and checking that the
# programs we ship need nothing but system DLLs.

# ---- Wine -------------------------------------------------------------------------------
# Test programs run under a 64-bit Wine in a throwaway prefix inside the build tree, through
# a wrapper that sets the prefix and quietens Wine for every program ctest starts (it is the
# cross-compiling emulator, so add_test(COMMAND <target>) uses it by itself). A 32-bit
# build has no Wine to run in (KYR_WINE_CAN_RUN comes from the toolchain file).
set(KYR_WINE_TESTS OFF)
if(KYR_WINE_CAN_RUN AND KYR_BUILD_TESTS)
  find_program(KYR_WINE NAMES wine64 wine PATHS /usr/lib/wine DOC "Wine loader for 64-bit programs")
  find_program(KYR_WINESERVER NAMES wineserver PATHS /usr/lib/wine DOC "Wine server")
  if(NOT KYR_WINE OR NOT KYR_WINESERVER)
    message(FATAL_ERROR "Wine not found: the Windows tests need wine and wine64")
  endif()
  set(KYR_WINE_TESTS ON)
  set(KYR_WINEPREFIX "${CMAKE_BINARY_DIR}/wine/prefix")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/run-under-wine.sh.in
                 ${CMAKE_BINARY_DIR}/wine/run-under-wine.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE
                 @ONLY)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-session.sh.in
                 ${CMAKE_BINARY_DIR}/wine/wine-session.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE
                 @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine/run-under-wine.sh)
endif()

# Adds the ctest fixture that prepares the Wine prefix once and keeps one Wine server
# running for all tests (instead of one start per program), and stops it at the end.
# Tests that run Windows programs name it: FIXTURES_REQUIRED wine_session.
function(kyr_add_wine_session_fixture)
  if(NOT KYR_WINE_TESTS OR TEST wine_session_start)
    return()
  endif()
  add_test(NAME wine_session_start COMMAND ${CMAKE_BINARY_DIR}/wine/wine-session.sh start)
  add_test(NAME wine_session_stop COMMAND ${CMAKE_BINARY_DIR}/wine/wine-session.sh stop)
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session TIMEOUT 300)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session TIMEOUT 60)
endfunction()

# ---- Shipped programs need only system DLLs --------------------------------------------
# After each build of a shipped program, `objdump -p` lists the DLLs it imports; the build
# fails when one is not part of every Windows (a forgotten static library would otherwise
# show up only on a player's machine). Shipped programs are the executables of cli/ and ui/
# and any named in the global property KYR_SHIPPED_PROGRAMS.
find_program(KYR_OBJDUMP_PROGRAM NAMES ${KYR_OBJDUMP} objdump REQUIRED)

function(kyr_check_system_imports target)
  set(stamp ${CMAKE_BINARY_DIR}/import-checks/${target}.checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${KYR_OBJDUMP_PROGRAM} -DPROGRAM=$<TARGET_FILE:${target}>
            -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/CheckSystemImports.cmake
    DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/CheckSystemImports.cmake
    COMMENT "Checking that ${target} needs only system DLLs"
    VERBATIM)
  add_custom_target(${target}_imports ALL DEPENDS ${stamp})
endfunction()

function(_kyr_check_shipped_programs)
  get_property(programs GLOBAL PROPERTY KYR_SHIPPED_PROGRAMS)
  foreach(dir cli ui)
    if(EXISTS ${PROJECT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      get_property(targets DIRECTORY ${PROJECT_SOURCE_DIR}/${dir} PROPERTY BUILDSYSTEM_TARGETS)
      foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
          list(APPEND programs ${target})
        endif()
      endforeach()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES programs)
  foreach(target IN LISTS programs)
    kyr_check_system_imports(${target})
  endforeach()
endfunction()
cmake_language(DEFER CALL _kyr_check_shipped_programs)

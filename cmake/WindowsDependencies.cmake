# Libraries of the Windows cross build, all linked statically.
#   zlib:       libz.a of Debian's libz-mingw-w64-dev.
#   minizip:    Debian's `minizip` source package, fetched into the build tree by
#               scripts/fetch-minizip-source.sh (Debian ships no mingw build of it).
#   GoogleTest: Debian's googletest sources in /usr/src/googletest.

set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

set(KYR_MINIZIP_SOURCE_DIR "${CMAKE_BINARY_DIR}/_deps/minizip" CACHE PATH
    "Where Debian's minizip source is fetched and unpacked (into its minizip/ folder)")
set(_kyr_minizip_dir "${KYR_MINIZIP_SOURCE_DIR}/minizip")
if(NOT EXISTS "${_kyr_minizip_dir}/unzip.c")
  message(STATUS "Fetching Debian's minizip source into ${KYR_MINIZIP_SOURCE_DIR}")
  execute_process(
    COMMAND "${PROJECT_SOURCE_DIR}/scripts/fetch-minizip-source.sh" "${KYR_MINIZIP_SOURCE_DIR}"
    RESULT_VARIABLE _kyr_fetch_result)
  if(NOT _kyr_fetch_result EQUAL 0 OR NOT EXISTS "${_kyr_minizip_dir}/unzip.c")
    message(FATAL_ERROR "Could not fetch Debian's minizip source "
                        "(scripts/fetch-minizip-source.sh ${KYR_MINIZIP_SOURCE_DIR})")
  endif()
endif()

# The reader (unzip) with its default stdio file access, and the writer (zip) that tests
# use to build archives. Third-party code: built with its own warnings, not ours.
add_library(kyr_minizip_static STATIC
  ${_kyr_minizip_dir}/ioapi.c
  ${_kyr_minizip_dir}/unzip.c
  ${_kyr_minizip_dir}/zip.c
)
# Both spellings of the headers work, as on Linux: "unzip.h" and <minizip/unzip.h>.
target_include_directories(kyr_minizip_static SYSTEM PUBLIC
  ${_kyr_minizip_dir} ${KYR_MINIZIP_SOURCE_DIR})
target_link_libraries(kyr_minizip_static PUBLIC ZLIB::ZLIB)
target_compile_options(kyr_minizip_static PRIVATE -w)

# One name for minizip whatever provides it.
add_library(kyr_minizip INTERFACE)
target_link_libraries(kyr_minizip INTERFACE kyr_minizip_static ZLIB::ZLIB)

if(KYR_BUILD_TESTS)
  set(KYR_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
      "GoogleTest sources (Debian: googletest)")
  if(NOT EXISTS "${KYR_GTEST_SOURCE_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "GoogleTest sources not found in ${KYR_GTEST_SOURCE_DIR} (install googletest)")
  endif()
  # Let our settings override the options of GoogleTest's older CMake code.
  set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
  set(INSTALL_GTEST OFF)
  set(BUILD_GMOCK ON)
  add_subdirectory(${KYR_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
  # The same names as the imported targets of find_package(GTest) on Linux (newer
  # GoogleTest sources define them themselves).
  foreach(library gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${library})
      add_library(GTest::${library} ALIAS ${library})
    endif()
  endforeach()
  include(GoogleTest)
endif()

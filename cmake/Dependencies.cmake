# Finds the libraries the build links against. Everything comes from the machine's
# packages (see scripts/install-deps.sh); nothing is downloaded here.
if(WIN32)
  # The Windows cross build: zlib from libz-mingw-w64-dev, minizip and GoogleTest compiled
  # here from Debian's sources, Wine to run the tests.
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDependencies.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsBuild.cmake)
  return()
endif()

find_package(PkgConfig REQUIRED)
find_package(ZLIB REQUIRED)
pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)

if(KYR_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# One name for minizip whatever provides it.
add_library(kyr_minizip INTERFACE)
target_link_libraries(kyr_minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)

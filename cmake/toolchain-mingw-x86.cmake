# 32-bit Windows programs with mingw-w64 (Debian: g++-mingw-w64-i686-posix). Built only:
# a 64-bit-only Wine cannot run them, so no test runs in this build.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KYR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
set(KYR_WINE_CAN_RUN OFF)

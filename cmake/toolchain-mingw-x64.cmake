# 64-bit Windows programs with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix). Its test
# programs run under Wine (wine64) on the build machine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KYR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
set(KYR_WINE_CAN_RUN ON)

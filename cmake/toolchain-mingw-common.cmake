# Shared part of the mingw-w64 cross toolchains. The including file sets KYR_MINGW_TRIPLE
# (x86_64-w64-mingw32 or i686-w64-mingw32) and CMAKE_SYSTEM_PROCESSOR first.
#
# Debian's posix-thread compilers are used because std::thread and std::mutex need them.
# Everything is linked statically, so a built program needs only DLLs that every Windows
# has (the build checks this: see WindowsBuild.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

set(CMAKE_C_COMPILER ${KYR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KYR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KYR_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KYR_MINGW_TRIPLE}-ar)
set(CMAKE_RANLIB ${KYR_MINGW_TRIPLE}-ranlib)
set(KYR_OBJDUMP ${KYR_MINGW_TRIPLE}-objdump)

# Headers and libraries of the target (zlib from libz-mingw-w64-dev lives there); programs
# such as the code generators of the build run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KYR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

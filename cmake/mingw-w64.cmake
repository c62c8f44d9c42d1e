# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain. Both the
# Qt that scripts/windows.sh builds and the program itself use this file.
#
# The "-posix" compilers use winpthreads: Qt 6 and std::thread need that thread
# model; the "-win32" variants lack std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTELO_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${VANTELO_MINGW_PREFIX}-gcc-posix ${VANTELO_MINGW_PREFIX}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${VANTELO_MINGW_PREFIX}-g++-posix
                                      ${VANTELO_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VANTELO_MINGW_PREFIX}-windres REQUIRED)

# Headers and libraries come from the MinGW sysroot and from the folders named
# in CMAKE_PREFIX_PATH (the cross-built Qt and libjpeg-turbo); programs run
# during the build (moc, rcc) come from the host.
# CMake re-roots every search path under these folders; the prefixes given in
# CMAKE_PREFIX_PATH are roots of their own, so they are searched as they are.
set(CMAKE_FIND_ROOT_PATH /usr/${VANTELO_MINGW_PREFIX} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and other target programs run under Wine, when it is there.
find_program(VANTELO_WINE NAMES wine64 wine)
if(VANTELO_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTELO_WINE})
endif()

# Cross build for Windows with the MinGW-w64 compilers of Debian.
# ZOR_WINDOWS_ARCH selects the target: i686 (32-bit) or x86_64 (the default).
# The POSIX-threads flavour of the compilers is used: g++ 12 of the win32
# flavour has no std::thread or std::mutex.
set(ZOR_WINDOWS_ARCH "x86_64" CACHE STRING "Windows target: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZOR_WINDOWS_ARCH})
set(_zor_triplet ${ZOR_WINDOWS_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${_zor_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zor_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_zor_triplet}-windres)
set(CMAKE_OBJDUMP ${_zor_triplet}-objdump CACHE FILEPATH "objdump of the target")

set(CMAKE_FIND_ROOT_PATH /usr/${_zor_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine (tests and test discovery).
find_program(ZOR_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOR_WINE})
endif()

# Cross-compiles Noxel for 32-bit Windows with MinGW-w64 and runs the
# Windows programs (tests included) under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

# The thread model of the compilers: posix for the tests (std::thread), win32
# for the shipped programs, which start no thread and so link no threads
# runtime (the posix one imports functions Windows XP lacks).
if(NOT NOXEL_THREADS)
  set(NOXEL_THREADS posix)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES NOXEL_THREADS)
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-${NOXEL_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${NOXEL_THREADS})
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec.sh)

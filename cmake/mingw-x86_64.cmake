# Cross build for 64-bit Windows with mingw-w64 (posix threads), tests run under
# 64-bit Wine: it carries every Windows test on hosts that cannot start 32-bit
# programs, and it is the Windows runner with all 16 or 32 vector registers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
# wine-run reads this from the cache to pick the 64-bit loader and prefix.
set(QUARRION_WINE_ARCH win64 CACHE INTERNAL "Wine architecture the tests run under")

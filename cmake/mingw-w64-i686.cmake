# Cross-builds the 32-bit Windows tools on Debian with MinGW-w64 (g++-mingw-w64-i686-posix).
# The posix thread model gives std::thread and std::mutex; the runtime is linked in statically
# so veltra-cli.exe runs on its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VELTRA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${VELTRA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTRA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTRA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELTRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the cross-built programs under Wine.
find_program(VELTRA_WINE wine)
if(VELTRA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTRA_WINE})
endif()

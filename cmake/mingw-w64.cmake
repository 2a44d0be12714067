# Cross-building Tavro for 64-bit Windows with Debian's MinGW-w64 (the
# posix-threads variant, for std::thread); programs built run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVRO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVRO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVRO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVRO_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVRO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the test programs through Wine, each run in the build's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# Cross build of the Windows programs with Debian's mingw-w64 (the posix
# thread model, for std::thread): cmake -DCMAKE_TOOLCHAIN_FILE=this file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORNIK_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORNIK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNIK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNIK_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VORNIK_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The C and C++ runtimes and winpthreads linked in: the .exe needs no DLLs
# beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)

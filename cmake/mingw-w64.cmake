# Cross toolchain: 64-bit Windows executables built on Linux with MinGW-w64 (posix thread model),
# linked statically so that they need no DLL beyond the system's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KQ_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KQ_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KQ_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KQ_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KQ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Each function and object in a section of its own, so that the linker drops what is never used.
set(CMAKE_CXX_FLAGS_INIT "-ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
# Test binaries run under Wine; the Makefile sets WINEPREFIX, WINEDEBUG and WINEDLLOVERRIDES.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

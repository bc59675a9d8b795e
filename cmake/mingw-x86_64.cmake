# Cross build of a 64-bit Windows driver with Debian's x86_64 mingw-w64
# compilers. The -posix variants provide std::thread and std::mutex, which the
# tests use; the driver itself reaches the OS only through src/platform/win32.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(WF_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WF_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WF_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WF_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${WF_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${WF_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine (scripts/wine-run.sh prepares the prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64-run.sh)

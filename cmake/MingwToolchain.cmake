# What the Windows cross builds share, given WF_MINGW_TRIPLE and
# WF_WINE_RUNNER by the toolchain file that includes this one. Debian's
# -posix compiler variants provide std::thread and std::mutex, which the tests
# use; the driver itself reaches the OS only through src/platform/win32.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${WF_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WF_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${WF_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${WF_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${WF_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine; the runner script prepares a private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/${WF_WINE_RUNNER})

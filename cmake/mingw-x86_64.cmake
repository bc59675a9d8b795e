# Cross build for 64-bit Windows with Debian's x86_64 mingw-w64 compilers;
# tests run under 64-bit Wine, which needs no 32-bit support from the kernel.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(WF_MINGW_TRIPLE x86_64-w64-mingw32)
set(WF_WINE_RUNNER wine64-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

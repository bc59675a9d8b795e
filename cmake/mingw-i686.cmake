# Cross build of the 32-bit Windows driver, Wrenfield.dll, with Debian's i686
# mingw-w64 compilers; tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(WF_MINGW_TRIPLE i686-w64-mingw32)
set(WF_WINE_RUNNER wine-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

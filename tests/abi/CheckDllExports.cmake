# Reads a DLL's headers with objdump and checks what a host loader sees: a
# 32-bit x86 image, exactly the exports of the module definition file, and
# imports from Windows system libraries only (no compiler runtime DLLs).
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${LIBRARY}")
endif()

if(NOT listing MATCHES "file format pei-i386")
    message(FATAL_ERROR "${LIBRARY} is not a 32-bit x86 image")
endif()

# Export name table lines read "\t[   0] CreateIPCapture". The brackets go
# before the names become a list, since CMake lists do not split inside them.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)*)" table "${listing}")
string(REGEX REPLACE "[ \t]+\\[[ 0-9]+\\] " "" names "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[^\n]+" actual "${names}")

file(READ ${EXPECTED} definition)
string(REGEX REPLACE ";[^\n]*" "" definition "${definition}")
string(REGEX MATCH "EXPORTS(.*)" exports "${definition}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" expected "${CMAKE_MATCH_1}")
list(SORT actual)
list(SORT expected)
if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "exported: ${actual}\nexpected: ${expected}")
endif()

# Libraries every Windows installation carries.
set(system_dlls
    kernel32.dll user32.dll advapi32.dll msvcrt.dll winmm.dll version.dll
    ws2_32.dll winhttp.dll ole32.dll oleaut32.dll shell32.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${listing}")
set(imported "")
foreach(line IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    list(FIND system_dlls "${lower}" known)
    if(known EQUAL -1)
        message(FATAL_ERROR "${LIBRARY} imports ${dll}, which Windows does not provide")
    endif()
    list(APPEND imported ${dll})
endforeach()
message(STATUS "exports match: ${actual}; imports: ${imported}")

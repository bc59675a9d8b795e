#include "CTerminal.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace wfhost {

namespace {
constexpr unsigned int kDefaultColumns = 80;

#if defined(_WIN32)
HANDLE ConsoleOf(FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }
#endif
}  // namespace

bool CTerminal::IsTerminal(FILE* stream) {
#if defined(_WIN32)
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

unsigned int CTerminal::Columns(FILE* stream) {
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(ConsoleOf(stream), &info) != 0 && info.srWindow.Right > info.srWindow.Left)
        return static_cast<unsigned int>(info.srWindow.Right - info.srWindow.Left + 1);
#else
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    return kDefaultColumns;
}

bool CTerminal::EnableEscapes(FILE* stream) {
#if defined(_WIN32)
    HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    if (GetConsoleMode(console, &mode) == 0) return false;
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    (void)stream;
    return true;
#endif
}

}  // namespace wfhost

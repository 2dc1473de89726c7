// The console on Windows: UTF-8 output while the program runs.
#include <windows.h>

#include <cstdlib>

#include "platform/console.h"

namespace plat {

namespace {

UINT g_previous_code_page = 0;

void restore_code_page() {
    if (g_previous_code_page != 0) SetConsoleOutputCP(g_previous_code_page);
}

// The last handler of a console event before the system's own, which ends
// the program without its at-exit actions: the code page goes back first.
// (A termination request handler, installed later, comes first and ends
// the program through its at-exit actions.)
BOOL WINAPI restore_on_console_event(DWORD) {
    restore_code_page();
    return FALSE;
}

}  // namespace

void prepare_console() {
    // no console (output into a pipe or file, a detached copy): the bytes
    // go out as they are, which is UTF-8 already
    const UINT previous = GetConsoleOutputCP();
    if (previous == 0 || previous == CP_UTF8) return;
    if (!SetConsoleOutputCP(CP_UTF8)) return;
    // the console is shared with the shell that started us: give its code page back
    g_previous_code_page = previous;
    std::atexit(restore_code_page);
    SetConsoleCtrlHandler(restore_on_console_event, TRUE);
}

}  // namespace plat

#include "output/silent_mode.h"

namespace {
bool g_silent = false;
}

bool silent_mode() { return g_silent; }
void set_silent_mode(bool on) { g_silent = on; }

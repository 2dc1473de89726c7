// A termination request is a number that a handler writes once and the
// program's thread reads; an atomic flag of the signal kind carries it.
#include "platform/backend.h"

#include <csignal>

#include "platform/termination.h"

namespace plat {

namespace {

volatile std::sig_atomic_t g_request = -1;
StopAction g_action = nullptr;
volatile std::sig_atomic_t g_outlive_logoffs = 0;

}  // namespace

void termination_record(int request) {
    if (g_request < 0) g_request = request;
}

int termination_request() { return g_request; }

void outlive_logoffs() { g_outlive_logoffs = 1; }

bool logoffs_outlived() { return g_outlive_logoffs != 0; }

void termination_set_action(void (*action)(int)) { g_action = action; }

void termination_checkpoint() {
    const int request = g_request;
    if (request < 0 || g_action == nullptr) return;
    // the action ends the process; a second checkpoint inside it does nothing
    const StopAction action = g_action;
    g_action = nullptr;
    action(request);
}

}  // namespace plat

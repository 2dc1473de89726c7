// loadhawk: watches this machine's CPU and memory load and sends notices
// when it stays out of bounds.
#include "control/dispatch.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    plat::prepare_console();
    return run_program(argc, argv);
}

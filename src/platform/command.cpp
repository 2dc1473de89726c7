// What running a command asks of both systems alike.
#include "platform/backend.h"
#include "platform/command.h"

namespace plat {

bool wait_until_no_process(const CommandWatch& watch, void* group, std::uint32_t limit_ms,
                           std::uint32_t pause_ms) {
    for (std::uint32_t waited = 0; waited < limit_ms; waited += pause_ms) {
        if (watch.active(group) == 0) return true;
        watch.pause(pause_ms);
    }
    return watch.active(group) == 0;
}

}  // namespace plat

#include "control/service_status.h"

#include "control/pid_file.h"
#include "output/console.h"
#include "platform/service.h"
#include "platform/transient_files.h"

bool service_monitor_here() {
    FixedText<plat::kTransientPathCap> folder;
    return plat::service_state(folder.out()) == plat::ServiceState::running &&
           plat::is_working_directory(folder.c_str());
}

int run_service_status() {
    console_out("loadhawk running as the service loadhawk pid %lu\n", static_cast<unsigned long>(recorded_pid()));
    return 0;
}

int run_service_stop() {
    if (plat::service_stop()) {
        console_out("loadhawk stopped (service loadhawk)\n");
        return 0;
    }
    console_out("loadhawk runs as the service loadhawk: stop it as administrator with \"sc stop loadhawk\" "
                "or \"net stop loadhawk\"\n");
    return 1;
}

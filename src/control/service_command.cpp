#include "control/service_command.h"

#include "control/monitor_start.h"
#include "output/console.h"
#include "output/event_log.h"
#include "output/silent_mode.h"
#include "output/system_events.h"
#include "platform/service.h"
#include "platform/time.h"

namespace {

constexpr std::size_t kReportCap = 2048;

int say_linux_way() {
    console_out("On Linux loadhawk runs as a service through the systemd unit of the .deb package:\n"
                "  sudo systemctl enable --now loadhawk\n");
    return 1;
}

int say_refusal(plat::ServiceSetup setup, const char* command, const FixedText<kReportCap>& report) {
    switch (setup) {
        case plat::ServiceSetup::unsupported:
            return say_linux_way();
        case plat::ServiceSetup::not_elevated:
            console_out("%s needs an administrator: run it in a command prompt opened with "
                        "\"Run as administrator\"\n", command);
            return 1;
        case plat::ServiceSetup::exists:
            console_out("A service named loadhawk already exists; remove it first with "
                        "\"loadhawk.exe -uninstall\" (as administrator)\n");
            return 1;
        case plat::ServiceSetup::absent:
            console_out("No service named loadhawk is installed\n");
            return 1;
        case plat::ServiceSetup::failed:
        case plat::ServiceSetup::done:
            break;
    }
    console_out("%s", report.c_str());
    return setup == plat::ServiceSetup::done ? 0 : 1;
}

// the last console text of the run: the cause of a failed start
FixedText<kReportCap> g_last_text;

void keep_in_log(const char* text) {
    static bool writing = false;
    // a log that refuses the entry says so on the console: not again here
    if (writing || text[0] == '\0' || (text[0] == '\n' && text[1] == '\0')) return;
    writing = true;
    text_copy(g_last_text.out(), text);
    log_event("%s", text);
    writing = false;
}

int monitor_as_service() {
    set_silent_mode(true);
    console_divert(keep_in_log);
    plat::LocalTime start{};
    plat::local_time(&start);
    const int code = start_monitoring(start.day);
    log_event("loadhawk service not started\n");
    report_system_event(SystemEvent::start_failed, g_last_text.c_str());
    return code;
}

}  // namespace

int run_service_install() {
    FixedText<kReportCap> report;
    const plat::ServiceSetup setup = plat::service_install(report.out());
    const int code = say_refusal(setup, "-install", report);
    if (setup != plat::ServiceSetup::done) return code;
    console_out("\nStart it:   sc start loadhawk   (or: net start loadhawk)\n"
                "Stop it:    sc stop loadhawk    (or: net stop loadhawk)\n"
                "Remove it:  loadhawk.exe -uninstall   (as administrator)\n");
    return 0;
}

int run_service_uninstall() {
    FixedText<kReportCap> report;
    return say_refusal(plat::service_uninstall(report.out()), "-uninstall", report);
}

int run_as_service(const char* folder) {
    const int code = plat::service_run(folder, monitor_as_service);
    if (code != plat::kNotUnderServiceManager) return code;
    if (plat::service_state(FixedText<8>().out()) == plat::ServiceState::unsupported) return say_linux_way();
    console_out("%s is for the service manager; start the service with \"sc start loadhawk\", or run "
                "loadhawk.exe without a command in the folder\n", plat::kServiceSwitch);
    return 1;
}

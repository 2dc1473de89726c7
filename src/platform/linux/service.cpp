// Linux has no service manager calls here: the package's systemd unit runs
// loadhawk as a service.
#include "platform/service.h"

namespace plat {

ServiceSetup service_install(TextBuffer) { return ServiceSetup::unsupported; }
ServiceSetup service_uninstall(TextBuffer) { return ServiceSetup::unsupported; }
int service_run(const char*, int (*)()) { return kNotUnderServiceManager; }
bool is_service_request(int) { return false; }
ServiceState service_state(TextBuffer) { return ServiceState::unsupported; }
bool service_stop() { return false; }
bool is_working_directory(const char*) { return false; }

}  // namespace plat

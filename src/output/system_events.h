// The events an admin's tools collect from the system's event log: one per
// alert, recovery, failed send and failed service start.
#pragma once

#include "platform/system_event.h"

enum class SystemEvent { recovery = 1, alert = 2, send_failed = 3, start_failed = plat::kStartFailedEvent };

// Hands `text` (one line, its line feed dropped) to the system's event log
// with the type of the event: information for a recovery, warning for an
// alert, error for a failure.
void report_system_event(SystemEvent event, const char* text);

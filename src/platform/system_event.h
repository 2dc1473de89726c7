// The system's own event log: on Windows the Application log, source
// "loadhawk", whose message texts come from the message table compiled
// into the exe; Linux keeps nothing here (the journal has the service's
// output). Every call is also kept as the last one, to be read back.
#pragma once

#include <cstddef>

namespace plat {

enum class EventType { information, warning, error };
constexpr std::size_t kEventTextCap = 1024;
// the message of a failed service start in the exe's message table
constexpr unsigned kStartFailedEvent = 4;

struct EventRecord {
    EventType type;
    unsigned id;  // the message's number in the exe's message table
    char text[kEventTextCap];
    unsigned count;  // events handed over so far
};

// One event with one text (cut to kEventTextCap - 1 bytes); a failure of the
// system's log is absorbed.
void write_system_event(EventType type, unsigned id, const char* text);
const EventRecord& last_system_event();

}  // namespace plat

#include "output/system_events.h"

#include "platform/system_event.h"
#include "text/fixed_text.h"

void report_system_event(SystemEvent event, const char* text) {
    plat::EventType type = plat::EventType::error;
    if (event == SystemEvent::recovery) type = plat::EventType::information;
    if (event == SystemEvent::alert) type = plat::EventType::warning;
    FixedText<plat::kEventTextCap> line;
    const std::size_t length = text_copy(line.out(), text != nullptr ? text : "");
    FixedText<plat::kEventTextCap> cut;
    std::size_t kept = length;
    while (kept > 0 && (line.c_str()[kept - 1] == '\n' || line.c_str()[kept - 1] == '\r')) --kept;
    text_copy_n(cut.out(), line.c_str(), kept);
    plat::write_system_event(type, static_cast<unsigned>(event), cut.c_str());
}

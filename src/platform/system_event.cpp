// The record of the last event, kept before the backend hands it over.
#include "platform/system_event.h"

#include "platform/backend.h"
#include "text/fixed_text.h"

namespace plat {

namespace {
EventRecord g_last{};
}  // namespace

void write_system_event(EventType type, unsigned id, const char* text) {
    g_last.type = type;
    g_last.id = id;
    text_copy(TextBuffer{g_last.text, sizeof g_last.text}, text != nullptr ? text : "");
    ++g_last.count;
    event_write(g_last);
}

const EventRecord& last_system_event() { return g_last; }

}  // namespace plat

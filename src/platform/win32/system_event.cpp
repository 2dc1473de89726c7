// The Application event log, source "loadhawk": one string per event, put
// into its message ("%1") by Event Viewer from the exe's message table,
// which -install registers as the source's message file.
#include <windows.h>

#include "platform/backend.h"
#include "platform/win32/convert.h"

namespace plat {

namespace {

WORD type_of(EventType type) {
    switch (type) {
        case EventType::warning:
            return EVENTLOG_WARNING_TYPE;
        case EventType::error:
            return EVENTLOG_ERROR_TYPE;
        case EventType::information:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

void event_write(const EventRecord& event) {
    static const HANDLE source = RegisterEventSourceW(nullptr, L"loadhawk");
    if (source == nullptr) return;
    static wchar_t text[kEventTextCap];
    if (!utf8_to_wide(event.text, text, kEventTextCap)) return;
    const wchar_t* strings[] = {text};
    (void)ReportEventW(source, type_of(event.type), 0, event.id, nullptr, 1, 0, strings, nullptr);
}

}  // namespace plat

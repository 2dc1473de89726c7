// What the system's event log is handed: the type and message number of
// each kind of event, and one line of text.
#include "output/system_events.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/system_event.h"

TEST(SystemEvents, TypeNumberAndOneLineOfText) {
    struct Row {
        SystemEvent event;
        std::string text;
        plat::EventType type;
        unsigned id;
        std::string kept;
    };
    const std::string longest(5000, 'x');
    const Row rows[] = {
        {SystemEvent::alert, "CPU now 97%\n", plat::EventType::warning, 2, "CPU now 97%"},
        {SystemEvent::recovery, "back to normal\r\n", plat::EventType::information, 1, "back to normal"},
        {SystemEvent::send_failed, "not sent", plat::EventType::error, 3, "not sent"},
        {SystemEvent::start_failed, "Error: loadhawk_setup.txt not found\n", plat::EventType::error, 4,
         "Error: loadhawk_setup.txt not found"},
        {SystemEvent::alert, longest, plat::EventType::warning, 2, longest.substr(0, plat::kEventTextCap - 1)},
    };
    for (const Row& row : rows) {
        const unsigned before = plat::last_system_event().count;
        report_system_event(row.event, row.text.c_str());
        const plat::EventRecord& last = plat::last_system_event();
        EXPECT_EQ(last.count, before + 1);
        EXPECT_EQ(last.type, row.type);
        EXPECT_EQ(last.id, row.id);
        EXPECT_EQ(last.text, row.kept);
    }
}

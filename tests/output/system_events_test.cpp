// What the system's event log is handed: the type and message number of
// each kind of event, and one line of text; and the console's sink.
#include "output/system_events.h"

#include <gtest/gtest.h>

#include <string>

#include "output/console.h"
#include "output/silent_mode.h"
#include "platform/system_event.h"
#include "support/test_support.h"

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

namespace {
std::string diverted;
void keep(const char* text) { diverted += text; }
}  // namespace

// A service has no console: both streams reach the sink, notes only when
// shown, and nothing reaches the streams meanwhile.
TEST(ConsoleDivert, BothStreamsToTheSinkUntilRestored) {
    ConsoleCapture console;
    diverted.clear();
    console_divert(keep);
    console_out("out %d\n", 1);
    console_err("err\n");
    set_silent_mode(true);
    console_note("note\n");
    set_silent_mode(false);
    console_divert(nullptr);
    console_out("back\n");
    EXPECT_EQ(diverted, "out 1\nerr\n");
    EXPECT_EQ(console.out(), "back\n");
    EXPECT_EQ(console.err(), "");
}

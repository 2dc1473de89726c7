#include "control/self_test_command.h"

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "notify/channels.h"
#include "output/console.h"
#include "output/event_log.h"
#include "output/silent_mode.h"
#include "platform/system.h"

namespace {

constexpr std::size_t kTestHostCap = 128;
constexpr std::size_t kTestSubjectCap = 256;
constexpr std::size_t kTestBodyCap = 2048;
constexpr std::size_t kTestTelegramCap = 1024;
constexpr const char* kTestSubject = "[TEST] loadhawk notification test";

const char* outcome(bool ok) { return ok ? "OK" : "FAILED"; }

}  // namespace

int run_self_test_command() {
    // the settings reports are not part of the test's output
    set_silent_mode(true);
    // The monitor settings are loaded only for the message a missing file gives.
    MonitorSettings monitor_settings{};
    (void)load_monitor_settings(&monitor_settings);
    // a missing file leaves both channels off
    NotifySettings settings{};
    (void)load_notify_settings(&settings);
    // "-s" does not count here: the test always reports on the console, the
    // senders' lines included, and both sends run in the foreground
    set_silent_mode(false);

    // one timestamp for both messages
    FixedText<kTimestampCap> timestamp;
    format_timestamp(timestamp.out());
    FixedText<kTestHostCap> host;
    if (!plat::computer_name(host.out()) || host.empty()) host.assign("unknown-host");

    FixedText<kTestSubjectCap> subject;
    subject.assign(kTestSubject);
    FixedText<kTestBodyCap> body;
    body.format("This is a test message from loadhawk.\n\nHost: %s\nTime: %s\n\n"
                "If you received this message, email notification is working correctly.\n",
                host.c_str(), timestamp.c_str());
    FixedText<kTestTelegramCap> telegram;
    telegram.format("%s\nHost: %s\nTime: %s\nEmail and Telegram settings are working.",
                    kTestSubject, host.c_str(), timestamp.c_str());

    const NoticeFacts facts{"test", host.c_str(), nullptr, nullptr, 0, 0, timestamp.c_str(),
                            nullptr, nullptr};
    const ChannelMessage message{settings.to.c_str(), subject.c_str(), body.c_str(),
                                 telegram.c_str(), &facts, nullptr, nullptr, nullptr};
    bool passed[kChannelCount] = {};
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        const NotifyChannel& channel = *kChannels[i];
        console_out("%sTesting %s alert...\n", i > 0 ? "\n" : "", channel.title);
        if (channel_takes(channel, settings, message)) {
            passed[i] = channel.send(settings, message);
            console_out("%s test %s\n", channel.title, outcome(passed[i]));
        } else {
            console_out("%s not configured\n", channel.title);
            log_event("%s test skipped: %s not configured\n", channel.title, channel.label);
        }
    }

    console_out("\nTest result:\n");
    bool any = false;
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        // the titles padded to eight columns, so the colons line up
        console_out("%-8s : %s\n", kChannels[i]->title, outcome(passed[i]));
        any = any || passed[i];
    }
    log_event("***TEST sending : loadhawk notification test\n");
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        log_event("%s test %s\n", kChannels[i]->title, outcome(passed[i]));
    }
    return any ? 0 : 1;
}

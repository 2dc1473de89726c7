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

enum class Outcome { not_configured, sent, failed };

const char* outcome_text(Outcome outcome) {
    switch (outcome) {
        case Outcome::sent:
            return "OK";
        case Outcome::failed:
            return "FAILED";
        case Outcome::not_configured:
            break;
    }
    return "not configured";
}

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
    Outcome outcomes[kChannelCount] = {};
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        const NotifyChannel& channel = *kChannels[i];
        console_out("%sTesting %s alert...\n", i > 0 ? "\n" : "", channel.title);
        if (channel_takes(channel, settings, message)) {
            // a failed send has said why (curl's code and its meaning) above
            outcomes[i] = channel.send(settings, message) ? Outcome::sent : Outcome::failed;
            console_out("%s test %s\n", channel.title, outcome_text(outcomes[i]));
        } else {
            console_out("%s not configured\n", channel.title);
            log_event("%s test skipped: %s not configured\n", channel.title, channel.label);
        }
    }

    console_out("\nTest result:\n");
    bool any_sent = false;
    bool any_failed = false;
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        // the titles padded to eight columns, so the colons line up
        console_out("%-8s : %s\n", kChannels[i]->title, outcome_text(outcomes[i]));
        any_sent = any_sent || outcomes[i] == Outcome::sent;
        any_failed = any_failed || outcomes[i] == Outcome::failed;
    }
    log_event("***TEST sending : loadhawk notification test\n");
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        log_event("%s test %s\n", kChannels[i]->title, outcome_text(outcomes[i]));
    }
    // every configured channel sent, and there was one
    return any_sent && !any_failed ? 0 : 1;
}

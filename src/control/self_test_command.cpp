#include "control/self_test_command.h"

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "notify/email.h"
#include "notify/telegram.h"
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

    console_out("Testing Email alert...\n");
    bool email_ok = false;
    if (settings.email_enabled && !settings.to.empty()) {
        email_ok = send_email(&settings, settings.to.c_str(), subject.c_str(), body.c_str());
        console_out("Email test %s\n", outcome(email_ok));
    } else {
        console_out("Email not configured\n");
        log_event("Email test skipped: email not configured\n");
    }

    console_out("\nTesting Telegram alert...\n");
    bool telegram_ok = false;
    if (settings.telegram_enabled && !settings.token.empty() && !settings.chat_id.empty()) {
        telegram_ok = send_telegram(&settings, telegram.c_str());
        console_out("Telegram test %s\n", outcome(telegram_ok));
    } else {
        console_out("Telegram not configured\n");
        log_event("Telegram test skipped: telegram not configured\n");
    }

    console_out("\nTest result:\n");
    console_out("Email    : %s\n", outcome(email_ok));
    console_out("Telegram : %s\n", outcome(telegram_ok));
    log_event("***TEST sending : loadhawk notification test\n");
    log_event("Email test %s\n", outcome(email_ok));
    log_event("Telegram test %s\n", outcome(telegram_ok));
    return (email_ok || telegram_ok) ? 0 : 1;
}

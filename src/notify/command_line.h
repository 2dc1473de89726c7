// The curl command lines' shared pieces: settings values are passed so that
// each reaches curl byte for byte and none can make the interpreter run
// anything but curl (the character rules: notify/command_safety.h).
#pragma once

#include <cstdint>

#include "config/notify_settings.h"
#include "notify/command_safety.h"
#include "platform/command.h"
#include "text/fixed_text.h"

// A value that cannot be passed safely: the settings key (or "recipient
// list") and why. `key` is null when every value passes.
struct SettingProblem {
    const char* key;
    const char* reason;
    bool found() const { return key != nullptr; }
};

// Appends `value` to `out` as one double-quoted argument of `kind`'s command
// line, cut where `out` is full. Returns false, appending nothing, when
// quoted_value_problem finds the value unsafe.
bool append_quoted_argument(TextBuffer out, const char* value, plat::Interpreter kind);

// The first key of `keys` whose value did not fit its field: "<key>" and
// "longer than <limit> characters"; a cut value is never sent.
SettingProblem cut_value_problem(const NotifySettings& settings, const NotifyKey* keys,
                                 std::size_t count);

// A value of the mail account or the recipients that did not fit its field,
// then the first of server, from and smtptls (the values of the mail command's
// head) that the command lines of `kind` cannot carry or curl cannot take.
SettingProblem mail_account_problem(const NotifySettings& settings, plat::Interpreter kind);

// Seconds a notification command may run: `sendtimeout`, or 120 when it is
// not a positive number.
std::uint32_t send_timeout_of(const NotifySettings& settings);

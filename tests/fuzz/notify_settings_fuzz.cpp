// The notification-settings loader with its in-place rewrite over an
// arbitrary file: never a crash, never a temporary file left behind; and
// when every line is shorter than the loader's line buffer (so the loader
// and the rewrite see the same lines), a second load reads the same secrets
// back and a third leaves the file as the second did. (Only a carriage
// return directly before a line feed is dropped per rewrite, as text mode
// does, so a run of them shrinks by one with each load: those runs are
// compared without their carriage returns.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/notify_settings.h"
#include "fuzz_support.h"
#include "output/silent_mode.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enter_private_directory();
    set_silent_mode(true);
    quiet_console();
    return 0;
}

namespace {
std::string without_line_end_returns(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t j = i;
        while (j < text.size() && text[j] == '\r') ++j;
        if (j > i && j < text.size() && text[j] == '\n') {
            i = j - 1;  // the run of returns before a line feed goes
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

bool all_lines_short(const std::uint8_t* data, std::size_t size) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            run = 0;
        } else if (++run >= 1000) {
            return false;
        }
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    write_bytes(kNotifySettingsFile, data, size);
    const bool comparable = all_lines_short(data, size);
    NotifySettings first;
    (void)load_notify_settings(&first);
    if (access(kNotifyTempFile, F_OK) == 0) std::abort();
    const std::string after_first = read_whole_file(kNotifySettingsFile);

    NotifySettings second;
    (void)load_notify_settings(&second);
    if (access(kNotifyTempFile, F_OK) == 0) std::abort();
    if (!comparable) return 0;
    if (std::strcmp(first.password.c_str(), second.password.c_str()) != 0) std::abort();
    if (std::strcmp(first.token.c_str(), second.token.c_str()) != 0) std::abort();
    if (first.email_enabled != second.email_enabled || first.telegram_enabled != second.telegram_enabled)
        std::abort();
    const std::string after_second = read_whole_file(kNotifySettingsFile);

    NotifySettings third;
    (void)load_notify_settings(&third);
    if (without_line_end_returns(read_whole_file(kNotifySettingsFile)) != without_line_end_returns(after_second))
        std::abort();
    (void)after_first;
    return 0;
}

#include "control/pid_file.h"

#include <cstdio>

#include "platform/platform.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::uint64_t parse_pid_text(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (is_blank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!is_digit(*p)) return 0;
    std::uint64_t value = 0;
    for (; is_digit(*p); ++p) {
        const std::uint64_t digit = static_cast<std::uint64_t>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        value = value * 10 + digit;
    }
    return negative && value != 0 ? UINT64_MAX : value;
}

std::uint64_t recorded_pid() {
    std::FILE* file = std::fopen(kPidFileName, "r");
    if (file == nullptr) return 0;
    // the file is one short line; the first number is all that counts
    char text[128] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[got] = '\0';
    return parse_pid_text(text);
}

bool monitor_is_live(std::uint64_t pid) {
    if (pid == 0 || pid > UINT32_MAX) return false;
    const auto candidate = static_cast<std::uint32_t>(pid);
    if (candidate == plat::own_pid()) return false;
    return plat::is_live_loadhawk(candidate);
}

bool write_pid_file() {
    std::FILE* file = std::fopen(kPidFileName, "w");
    if (file == nullptr) return false;
    const bool written = std::fprintf(file, "%lu\n", static_cast<unsigned long>(plat::own_pid())) > 0;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    // a pid file without its number would guard nothing
    (void)plat::delete_file(kPidFileName);
    return false;
}

void remove_pid_file() { (void)plat::delete_file(kPidFileName); }

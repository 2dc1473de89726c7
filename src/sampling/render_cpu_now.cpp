#include "sampling/render_cpu_now.h"

#include <cstring>

#include "platform/process_details.h"
#include "sampling/cpu_share.h"
#include "text/utf8.h"

const ProcessDetails kSystemProcessDetails{&plat::process_user, &plat::process_command_line};

namespace {

constexpr std::size_t kUserCap = 64;
constexpr std::size_t kCommandReadCap = 512;

// `source` cut to `limit` bytes on a character boundary, made printable.
template <std::size_t N>
void put_printable(FixedText<N>* out, const char* source, std::size_t limit) {
    const std::size_t length = utf8_cut_length(source, std::strlen(source), limit < N ? limit : N - 1);
    text_copy_n(out->out(), source, length);
    utf8_make_printable(out->buf);
}

}  // namespace

void render_cpu_now(const Sample& sample, TextBuffer text, const ProcessDetails& details) {
    if (text.data == nullptr || text.cap == 0) return;
    if (!sample.cpu_now_measured) {
        text_format(text, "Using CPU now: no share yet (first cycle since start)\n");
        return;
    }
    if (sample.cpu_now.rows[0].pid <= 0) {
        text_format(text, "Using CPU now: no process used CPU since the previous cycle\n");
        return;
    }
    std::size_t running = text_format(text, "Using CPU now (share of all %lu CPUs since the previous cycle):\n",
                                      static_cast<unsigned long>(sample.cpu_now_cpus));
    for (std::size_t i = 0; i < kTopRows; ++i) {
        const TopEntry& row = sample.cpu_now.rows[i];
        if (row.pid <= 0) break;
        const auto pid = static_cast<std::uint32_t>(row.pid);
        FixedText<kCpuNowNameShown + 1> name;
        put_printable(&name, row.name.empty() ? "?" : row.name.c_str(), kCpuNowNameShown);
        FixedText<kUserCap> user_read;
        FixedText<kUserCap> user;
        put_printable(&user, details.user(pid, user_read.out()) && !user_read.empty() ? user_read.c_str() : "?",
                      kUserCap - 1);
        char command_read[kCommandReadCap];
        FixedText<kCpuNowCommandShown + 1> command;
        if (details.command_line(pid, TextBuffer{command_read, sizeof command_read})) {
            put_printable(&command, command_read, kCpuNowCommandShown);
        }
        char line[kCpuNowLineCap];
        const TextBuffer line_out{line, sizeof line};
        std::size_t length = text_format(line_out, "NOW%d- PID: %d CPU: %.1f%% USER: %s COMMAND: %s",
                                         static_cast<int>(i + 1), row.pid, row.value, user.c_str(),
                                         name.c_str());
        if (!command.empty()) length = text_append(line_out, " CMDLINE: %s", command.c_str());
        length = text_append(line_out, "\n");
        if (running + length + 1 >= text.cap) break;
        std::memcpy(text.data + running, line, length + 1);
        running += length;
    }
    if (sample.cpu_now_left_out > 0) {
        text_append(text, "(%lu more processes than the %lu remembered have no share)\n",
                    static_cast<unsigned long>(sample.cpu_now_left_out),
                    static_cast<unsigned long>(kShareRemembered));
    }
}

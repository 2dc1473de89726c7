#include "monitor/notice_lines.h"

void format_duration(std::int64_t seconds, TextBuffer out) {
    if (seconds < 0) seconds = 0;
    const long long s = seconds;
    if (s < 60) {
        text_format(out, "%lld s", s);
    } else if (s < 3600) {
        text_format(out, "%lld min", s / 60);
    } else if (s < 2 * 86400) {
        text_format(out, "%lld h %lld min", s / 3600, s % 3600 / 60);
    } else {
        text_format(out, "%lld d %lld h", s / 86400, s % 86400 / 3600);
    }
}

void format_held_line(NoticeEvent event, const MonitorState& state, std::int64_t now, TextBuffer out) {
    text_copy(out, "");
    if (state.began.empty()) return;
    FixedText<32> duration;
    const char* began = state.began.c_str();
    switch (event) {
        case NoticeEvent::alert:
            format_duration(now - state.began_at, duration.out());
            text_format(out, "Holding since: %s (%s)\n", began, duration.c_str());
            return;
        case NoticeEvent::reminder:
            format_duration(now - state.began_at, duration.out());
            text_format(out, "Reminder: holding since %s, for %s\n", began, duration.c_str());
            return;
        case NoticeEvent::recovery:
            format_duration(state.ended_at - state.began_at, duration.out());
            text_format(out, "Began: %s, lasted %s\n", began, duration.c_str());
            return;
    }
}

#include "platform/linux/passwd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

// The name on `line` ("name:password:uid:..."), when its uid is `uid`.
bool line_names(const char* line, std::size_t length, uid_t uid, TextBuffer out) {
    const char* end = line + length;
    const auto* first = static_cast<const char*>(std::memchr(line, ':', length));
    if (first == nullptr) return false;
    const auto* second = static_cast<const char*>(std::memchr(first + 1, ':', static_cast<std::size_t>(end - first - 1)));
    if (second == nullptr) return false;
    unsigned long number = 0;
    const char* p = second + 1;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) number = number * 10 + static_cast<unsigned long>(*p - '0');
    if (p == second + 1 || p == end || *p != ':' || number != static_cast<unsigned long>(uid)) return false;
    text_copy_n(out, line, static_cast<std::size_t>(first - line));
    return true;
}

}  // namespace

void user_name(uid_t uid, TextBuffer out) {
    text_format(out, "%lu", static_cast<unsigned long>(uid));
    // read with plain reads into the stack, no stdio: the monitor's cycles
    // use no heap
    const int fd = open("/etc/passwd", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char line[1024];
    std::size_t length = 0;
    bool skipping = false;  // the rest of a line longer than `line`
    char block[4096];
    ssize_t got = 0;
    bool found = false;
    while (!found && (got = read(fd, block, sizeof block)) > 0) {
        for (ssize_t i = 0; i < got && !found; ++i) {
            const char c = block[i];
            if (c != '\n') {
                if (length < sizeof line) {
                    line[length++] = c;
                } else {
                    skipping = true;
                }
                continue;
            }
            found = !skipping && line_names(line, length, uid, out);
            length = 0;
            skipping = false;
        }
    }
    if (!found && !skipping && length > 0) (void)line_names(line, length, uid, out);
    close(fd);
}

}  // namespace plat

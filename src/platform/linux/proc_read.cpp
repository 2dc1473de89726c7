#include "platform/linux/proc_read.h"

#include <fcntl.h>
#include <unistd.h>

namespace plat {

std::size_t read_proc_file(int dir_fd, const char* path, char* buffer, std::size_t cap) {
    if (cap == 0) return 0;
    buffer[0] = '\0';
    const int fd = openat(dir_fd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    // a /proc file of this size comes whole in one read
    ssize_t got = read(fd, buffer, cap - 1);
    close(fd);
    if (got < 0) got = 0;
    buffer[got] = '\0';
    return static_cast<std::size_t>(got);
}

namespace {

constexpr std::uint64_t k100nsPerSecond = 10000000;

std::uint64_t read_clock_ticks_per_second() {
    const long hz = sysconf(_SC_CLK_TCK);
    return hz > 0 ? static_cast<std::uint64_t>(hz) : 100;  // USER_HZ is 100 on every Linux
}

std::uint64_t read_page_bytes() {
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<std::uint64_t>(size) : 4096;
}

}  // namespace

std::uint64_t ticks_to_100ns(std::uint64_t ticks) {
    static const std::uint64_t hz = read_clock_ticks_per_second();
    // whole seconds first, so a large count cannot overflow
    return ticks / hz * k100nsPerSecond + ticks % hz * k100nsPerSecond / hz;
}

std::uint64_t page_bytes() {
    static const std::uint64_t size = read_page_bytes();
    return size;
}

}  // namespace plat

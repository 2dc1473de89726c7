// Proves that a sampled cycle, the metrics file included, allocates nothing
// on the heap once the first cycle has run. A test binary of its own: it
// replaces the global allocation functions (operator new/delete, and malloc
// and its family on glibc) with counting ones.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>
#include <string>

#include "monitor/monitor_loop.h"
#include "output/console.h"
#include "output/silent_mode.h"
#include "sampling/cpu_usage.h"
#include "sampling/sample_system.h"

namespace {

bool g_counting = false;
long g_news = 0;
long g_mallocs = 0;

void* counted_new(std::size_t size) {
    if (g_counting) ++g_news;
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

void* counted_aligned_new(std::size_t size, std::align_val_t align) {
    if (g_counting) ++g_news;
    const std::size_t alignment = static_cast<std::size_t>(align);
    // aligned_alloc wants a size that is a multiple of the alignment
    void* p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

// Keeps the compiler from removing an allocation whose result is unused.
void escape(void* p) { asm volatile("" : : "g"(p) : "memory"); }

}  // namespace

void* operator new(std::size_t size) { return counted_new(size); }
void* operator new[](std::size_t size) { return counted_new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (g_counting) ++g_news;
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_counting) ++g_news;
    return std::malloc(size != 0 ? size : 1);
}
void* operator new(std::size_t size, std::align_val_t align) { return counted_aligned_new(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return counted_aligned_new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

// The C allocator too (stdio buffers, opendir, localtime's zone data): glibc
// exports its own entry points under __libc_ names. Not under a sanitizer,
// which brings an allocator of its own.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#define LH_COUNT_MALLOC 1
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) noexcept {
    if (g_counting) ++g_mallocs;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
    if (g_counting) ++g_mallocs;
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept {
    if (g_counting) ++g_mallocs;
    return __libc_realloc(p, size);
}
void free(void* p) noexcept { __libc_free(p); }
}
#else
#define LH_COUNT_MALLOC 0
#endif

namespace {

struct Counts {
    long news;
    long mallocs;
};

template <typename Work>
Counts count_during(Work work) {
    g_news = 0;
    g_mallocs = 0;
    g_counting = true;
    work();
    g_counting = false;
    return Counts{g_news, g_mallocs};
}

}  // namespace

TEST(SamplingAllocations, TheCountersSeeAllocations) {
    const Counts counts = count_during([] {
        std::string text(100, 'x');
        escape(text.data());
        void* block = std::malloc(64);
        escape(block);
        std::free(block);
    });
    EXPECT_GE(counts.news, 1);
    if (LH_COUNT_MALLOC) {
        EXPECT_GE(counts.mallocs, 2);  // operator new's malloc and ours
    }
}

TEST(SamplingAllocations, NoHeapAllocationInACycleAfterTheFirst) {
    // the report goes to a file, as the console would take it
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    console_redirect(sink, sink);
    CpuReading previous{};
    ASSERT_TRUE(read_cpu(&previous));
    static Sample sample{};
    set_silent_mode(false);
    measure_system(&previous, &sample);  // the first cycle may set up what lasts

    const Counts reported = count_during([&] {
        for (int cycle = 0; cycle < 40; ++cycle) measure_system(&previous, &sample);
        sample_system(&previous, &sample);  // once with the pause
    });
    set_silent_mode(true);
    const Counts silent = count_during([&] {
        for (int cycle = 0; cycle < 40; ++cycle) measure_system(&previous, &sample);
    });

    // the rest of a cycle with every monitor off and the metrics file set:
    // the file is rendered and replaced every time
    char folder[] = "/tmp/loadhawk-allocations-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string metrics = std::string(folder) + "/loadhawk.prom";
    static MonitorSettings settings{};
    settings.interval = 60;
    settings.metricsfile.assign(metrics.c_str());
    static const NotifySettings notify{};
    StateBetweenCycles state{};
    state.remembered_day = -1;
    finish_sampled_cycle(sample, settings, notify, &state);  // the heartbeat's day is set
    const Counts with_metrics = count_during([&] {
        for (int cycle = 0; cycle < 40; ++cycle) {
            measure_system(&previous, &sample);
            finish_sampled_cycle(sample, settings, notify, &state);
        }
    });
    set_silent_mode(false);
    console_redirect(nullptr, nullptr);
    std::fclose(sink);
    std::stringstream written;
    written << std::ifstream(metrics).rdbuf();
    (void)unlink(metrics.c_str());
    (void)rmdir(folder);

    EXPECT_EQ(reported.news, 0);
    EXPECT_EQ(reported.mallocs, 0);
    EXPECT_EQ(silent.news, 0);
    EXPECT_EQ(silent.mallocs, 0);
    EXPECT_EQ(with_metrics.news, 0);
    EXPECT_EQ(with_metrics.mallocs, 0);
    EXPECT_FALSE(state.metrics.failing);
    EXPECT_NE(written.str().find("\nloadhawk_build_info{version="), std::string::npos);
    // the cycles did their work
    EXPECT_GT(sample.mem_top.rows[0].pid, 0);
    EXPECT_GT(sample.cpu_top.rows[0].pid, 0);
}

// The Windows process information read from a stand-in system: its buffer
// is reserved once and grown only when the query asks for more, and every
// listed process comes out with its times, without any process opened.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/process_table.h"

namespace {

struct StandInProcess {
    std::uint64_t pid;
    std::u16string name;
    std::int64_t create, user, kernel;
    std::uint64_t working_set;
};

// the stand-in system: its process list and what was asked of it
std::vector<StandInProcess> processes;
int queries = 0;
int reserves = 0;
int releases = 0;

std::size_t needed_bytes() {
    std::size_t bytes = 0;
    for (const auto& p : processes) bytes += sizeof(plat::ProcessRecord) + (p.name.size() + 4) * 2;
    return bytes;
}

plat::QueryAnswer stand_in_query(void* buffer, std::size_t capacity, std::size_t* needed) {
    ++queries;
    if (capacity < needed_bytes()) {
        *needed = needed_bytes();
        return plat::QueryAnswer::needs_more;
    }
    auto* at = static_cast<unsigned char*>(buffer);
    plat::ProcessRecord* last = nullptr;
    for (const auto& p : processes) {
        auto* record = reinterpret_cast<plat::ProcessRecord*>(at);
        *record = plat::ProcessRecord{};
        auto* name = reinterpret_cast<char16_t*>(at + sizeof *record);
        std::memcpy(name, p.name.data(), p.name.size() * 2);
        record->name = name;
        record->name_bytes = static_cast<std::uint16_t>(p.name.size() * 2);
        record->pid = p.pid;
        record->create_time = p.create;
        record->user_time = p.user;
        record->kernel_time = p.kernel;
        record->working_set = p.working_set;
        const std::size_t step = (sizeof *record + (p.name.size() + 4) * 2 + 7) / 8 * 8;
        record->next_offset = static_cast<std::uint32_t>(step);
        last = record;
        at += step;
    }
    if (last != nullptr) last->next_offset = 0;
    return plat::QueryAnswer::filled;
}

void* stand_in_reserve(std::size_t bytes) {
    ++reserves;
    return ::operator new(bytes);
}

void stand_in_release(void* pages, std::size_t) {
    ++releases;
    ::operator delete(pages);
}

constexpr plat::ProcessQueryOps kStandIn{stand_in_query, stand_in_reserve, stand_in_release};

std::vector<plat::ProcessEntry> walk(const plat::ProcessTable& table, plat::ProcessMeasure measure) {
    std::vector<plat::ProcessEntry> out;
    std::size_t offset = 0;
    bool done = false;
    for (;;) {
        plat::ProcessEntry entry{};
        const plat::RecordStep step = plat::process_table_step(table, &offset, &done, measure, &entry);
        if (step == plat::RecordStep::end) return out;
        if (step == plat::RecordStep::entry) out.push_back(entry);
    }
}

class ProcessTable : public ::testing::Test {
protected:
    void SetUp() override {
        processes = {{0, u"", 0, 0, 9999, 0},  // the idle process
                     {4, u"System", 132000000000000000, 10, 20, 1 << 20},
                     {612, u"lsass.exe", 132000000000000123, 300, 400, 9 << 20},
                     {7000, u"\u00e9t\u00e9.exe", 132000000000009999, 0, 5, 4096}};
        queries = reserves = releases = 0;
    }
    void TearDown() override {
        if (table.pages != nullptr) stand_in_release(table.pages, table.capacity);
    }
    plat::ProcessTable table{};
};

TEST_F(ProcessTable, ReservesOnceAndListsEveryProcessWithItsTimes) {
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_TRUE(plat::process_table_fill(&table, kStandIn));
        const auto cpu = walk(table, plat::ProcessMeasure::cpu_time);
        ASSERT_EQ(cpu.size(), 3u);  // every process but the idle one
        EXPECT_EQ(cpu[1].pid, 612u);
        EXPECT_STREQ(cpu[1].name, "lsass.exe");
        EXPECT_EQ(cpu[1].cpu_time, 700u);
        EXPECT_EQ(cpu[1].start_time, 132000000000000123u);
        EXPECT_STREQ(cpu[2].name, "\xc3\xa9t\xc3\xa9.exe");
        const auto memory = walk(table, plat::ProcessMeasure::working_set);
        ASSERT_EQ(memory.size(), 3u);
        EXPECT_EQ(memory[1].working_set, 9u << 20);
        EXPECT_EQ(memory[1].start_time, 132000000000000123u);
    }
    EXPECT_EQ(reserves, 1);
    EXPECT_EQ(releases, 0);
    EXPECT_EQ(queries, 101);  // the size, then one query per cycle
}

TEST_F(ProcessTable, GrowsOnceWhenTheSystemAsksForMore) {
    ASSERT_TRUE(plat::process_table_fill(&table, kStandIn));
    const std::size_t first = table.capacity;
    // far more processes than the first buffer's slack holds
    for (std::uint64_t pid = 10000; needed_bytes() <= first; pid += 4) {
        processes.push_back({pid, u"worker.exe", 1, 2, 3, 4});
    }
    for (int cycle = 0; cycle < 10; ++cycle) {
        ASSERT_TRUE(plat::process_table_fill(&table, kStandIn));
        EXPECT_EQ(walk(table, plat::ProcessMeasure::cpu_time).size(), processes.size() - 1);
    }
    EXPECT_GT(table.capacity, first);
    EXPECT_EQ(reserves, 2);
    EXPECT_EQ(releases, 1);
}

TEST_F(ProcessTable, AFailedQueryListsNothingAndKeepsTheBuffer) {
    ASSERT_TRUE(plat::process_table_fill(&table, kStandIn));
    const plat::ProcessQueryOps failing{[](void*, std::size_t, std::size_t*) { return plat::QueryAnswer::failed; },
                                        stand_in_reserve, stand_in_release};
    EXPECT_FALSE(plat::process_table_fill(&table, failing));
    EXPECT_NE(table.pages, nullptr);
    const plat::ProcessQueryOps no_pages{stand_in_query, [](std::size_t) -> void* { return nullptr; },
                                         stand_in_release};
    processes.resize(4000, {8, u"x.exe", 1, 1, 1, 1});
    EXPECT_FALSE(plat::process_table_fill(&table, no_pages));
    EXPECT_NE(table.pages, nullptr);
    EXPECT_EQ(reserves, 1);
}

}  // namespace

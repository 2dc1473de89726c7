#include "sampling/render_top_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TopEntry entry(std::int32_t pid, double value, const std::string& name) {
    TopEntry e{};
    e.pid = pid;
    e.value = value;
    e.name.assign(name.c_str());
    return e;
}

std::string render(const TopList& list, TopKind kind, std::size_t cap = kTopTextCap) {
    std::string buffer(cap, '#');
    render_top_list(list, kind, TextBuffer{buffer.data(), cap});
    return std::string(buffer.c_str());
}

}  // namespace

TEST(RenderTopList, RowFormsOfBothKinds) {
    TopList list{};
    list.rows[0] = entry(4321, 42.76, "python3");
    list.rows[1] = entry(17, 7.0, "");
    list.rows[2] = entry(2, 0.04, "name with blanks");
    list.rows[3] = entry(3, 0.01, "%n Gr\xc3\xb6\xc3\x9f""e");
    EXPECT_EQ(render(list, TopKind::memory),
              "TOP1- PID: 4321 %MEM: 42.8 COMMAND: python3\n"
              "TOP2- PID: 17 %MEM: 7.0 COMMAND: ?\n"
              "TOP3- PID: 2 %MEM: 0.0 COMMAND: name with blanks\n"
              "TOP4- PID: 3 %MEM: 0.0 COMMAND: %n Gr\xc3\xb6\xc3\x9f""e\n");
    EXPECT_EQ(render(list, TopKind::cpu_time),
              "TOP1- PID: 4321 CPU_TIME: 42.8 sec COMMAND: python3\n"
              "TOP2- PID: 17 CPU_TIME: 7.0 sec COMMAND: ?\n"
              "TOP3- PID: 2 CPU_TIME: 0.0 sec COMMAND: name with blanks\n"
              "TOP4- PID: 3 CPU_TIME: 0.0 sec COMMAND: %n Gr\xc3\xb6\xc3\x9f""e\n");
}

TEST(RenderTopList, FiveRowsAndRowNumbersFromPositions) {
    TopList list{};
    for (int i = 0; i < 5; ++i) list.rows[i] = entry(100 + i, 50.0 - i, "p" + std::to_string(i));
    EXPECT_EQ(render(list, TopKind::cpu_time),
              "TOP1- PID: 100 CPU_TIME: 50.0 sec COMMAND: p0\n"
              "TOP2- PID: 101 CPU_TIME: 49.0 sec COMMAND: p1\n"
              "TOP3- PID: 102 CPU_TIME: 48.0 sec COMMAND: p2\n"
              "TOP4- PID: 103 CPU_TIME: 47.0 sec COMMAND: p3\n"
              "TOP5- PID: 104 CPU_TIME: 46.0 sec COMMAND: p4\n");
    // empty rows (pid 0 or less) are left out; the others keep their position's number
    list.rows[1].pid = 0;
    list.rows[3].pid = -1;
    EXPECT_EQ(render(list, TopKind::memory),
              "TOP1- PID: 100 %MEM: 50.0 COMMAND: p0\n"
              "TOP3- PID: 102 %MEM: 48.0 COMMAND: p2\n"
              "TOP5- PID: 104 %MEM: 46.0 COMMAND: p4\n");
}

TEST(RenderTopList, EmptyListGivesTheFixedLine) {
    const TopList list{};
    EXPECT_EQ(render(list, TopKind::memory), "TOP1- PID: 0 %MEM: 0.0 COMMAND: ?\n");
    EXPECT_EQ(render(list, TopKind::cpu_time), "TOP1- PID: 0 CPU_TIME: 0.0 sec COMMAND: ?\n");
}

TEST(RenderTopList, ReplacesWhatTheTextHeldBefore) {
    TopList list{};
    list.rows[0] = entry(5, 1.0, "a");
    FixedText<kTopTextCap> text;
    text.assign("left over from the last cycle\n");
    render_top_list(list, TopKind::memory, text.out());
    EXPECT_STREQ(text.c_str(), "TOP1- PID: 5 %MEM: 1.0 COMMAND: a\n");
}

// A row is formatted into a 256-byte line: up to 255 characters it stays
// whole; beyond, it is cut to 255 and its line feed is lost, so the next
// row continues on the same line.
TEST(RenderTopList, LongRowsAreCutAtTheLineCapacity) {
    const std::string prefix = "TOP1- PID: 1 %MEM: 1.0 COMMAND: ";
    for (const std::size_t line_length : {253u, 254u, 255u, 256u, 257u}) {
        SCOPED_TRACE(line_length);
        const std::string name(line_length - prefix.size() - 1, 'n');
        TopList list{};
        list.rows[0] = entry(1, 1.0, name);
        list.rows[1] = entry(2, 0.5, "next");
        const std::string first = prefix + name + "\n";
        ASSERT_EQ(first.size(), line_length);
        const std::string kept = line_length <= 255 ? first : first.substr(0, 255);
        EXPECT_EQ(render(list, TopKind::memory), kept + "TOP2- PID: 2 %MEM: 0.5 COMMAND: next\n");
    }
}

TEST(RenderTopList, FiveLongestRowsFitTheListText) {
    TopList list{};
    const std::string longest(259, 'x');
    for (int i = 0; i < 5; ++i) list.rows[i] = entry(2000000000 + i, 1e6, longest);
    ASSERT_EQ(list.rows[0].name.length(), 259u);
    const std::string text = render(list, TopKind::cpu_time);
    EXPECT_EQ(text.size(), 5u * 255u);
    for (int i = 0; i < 5; ++i) {
        const std::string row = "TOP" + std::to_string(i + 1) + "- PID: " + std::to_string(2000000000 + i);
        EXPECT_EQ(text.substr(static_cast<std::size_t>(i) * 255, row.size()), row);
    }
}

// A line is appended only while the text stays below its capacity less one:
// the longest text is capacity - 2 characters.
TEST(RenderTopList, StopRuleAtTheTextCapacity) {
    TopList list{};
    list.rows[0] = entry(1, 3.0, "aa");
    list.rows[1] = entry(2, 2.0, "bb");
    list.rows[2] = entry(3, 1.0, "cc");
    const std::string one = "TOP1- PID: 1 %MEM: 3.0 COMMAND: aa\n";
    const std::string two = "TOP2- PID: 2 %MEM: 2.0 COMMAND: bb\n";
    const std::string three = "TOP3- PID: 3 %MEM: 1.0 COMMAND: cc\n";
    struct Row {
        std::size_t cap;
        std::string expected;
    };
    const std::size_t two_lines = one.size() + two.size();
    const Row rows[] = {
        {two_lines + three.size() + 2, one + two + three},
        {two_lines + three.size() + 1, one + two},  // stops at the third line, nothing after it
        {two_lines + 2, one + two},
        {two_lines + 1, one},
        {two_lines, one},
        {one.size() + 2, one},
        // not even the first line fits: the fixed line, cut to the capacity
        {one.size() + 1, std::string("TOP1- PID: 0 %MEM: 0.0 COMMAND: ?\n").substr(0, one.size())},
        {10, "TOP1- PID"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cap);
        EXPECT_EQ(render(list, TopKind::memory, row.cap), row.expected);
    }
}

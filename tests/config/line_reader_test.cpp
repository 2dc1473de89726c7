#include "config/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> pieces(const std::string& bytes, std::size_t cap) {
    std::FILE* f = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    std::vector<std::string> out;
    std::vector<char> buf(cap);
    std::size_t n = 0;
    while ((n = read_config_line(f, TextBuffer{buf.data(), cap})) > 0) out.emplace_back(buf.data(), n);
    std::fclose(f);
    return out;
}
}  // namespace

TEST(LineReader, SplitsLikeFgetsAndDropsCarriageReturnBeforeLineFeed) {
    using V = std::vector<std::string>;
    struct Row {
        std::string bytes;
        std::size_t cap;
        V expected;
    };
    const Row rows[] = {
        {"a\nb\n", 16, V{"a\n", "b\n"}},
        {"a\r\nb\r\n", 16, V{"a\n", "b\n"}},
        {"last", 16, V{"last"}},
        {"a\rb\r", 16, V{"a\rb\r"}},          // CR-only line ends: one line
        {"abcdefgh\n", 4, V{"abc", "def", "gh\n"}},
        {"abc\r\n", 4, V{"abc", "\n"}},       // the pair split by the piece size
        {std::string("a\0b\n", 4), 16, V{std::string("a\0b\n", 4)}},
        {"", 16, V{}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        EXPECT_EQ(pieces(row.bytes, row.cap), row.expected);
    }
}

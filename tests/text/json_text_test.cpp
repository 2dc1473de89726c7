#include "text/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string quoted(const std::string& text, std::size_t cap = 256) {
    std::string buffer(cap, 'x');
    TextCursor out = TextCursor::fresh(TextBuffer{buffer.data(), cap}, TextCursor::Fit::whole);
    json_add_string(&out, text.data(), text.size());
    return std::string(buffer.data(), out.finish());
}

}  // namespace

TEST(JsonText, EscapesByTheGrammarAndRepairsUtf8) {
    struct Row {
        std::string in;
        const char* out;
    };
    const Row rows[] = {
        {"", "\"\""},
        {"say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
        {"a\nb\r\tc", "\"a\\nb\\r\\tc\""},
        {std::string("nul\0bell\x07" "esc\x1b" "us\x1f", 16), "\"nul\\u0000bell\\u0007esc\\u001bus\\u001f\""},
        {"caf\xc3\xa9 \xe6\xbc\xa2\xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe6\xbc\xa2\xf0\x9f\x98\x80\""},
        {"bad\xff\xfe" "end", "\"bad??end\""},                   // no character starts with these
        {"cut\xe6\xbc", "\"cut??\""},                               // cut short
        {"\xed\xa0\x80\xc0\xaf", "\"?????\""},                      // a surrogate, an overlong form
        {"del\x7f c1\xc2\x9b", "\"del\x7f c1\xc2\x9b\""},           // valid characters a parser takes
        {"</script>", "\"</script>\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.out);
        EXPECT_EQ(quoted(row.in), row.out);
    }
    // a string that does not fit whole leaves nothing
    EXPECT_EQ(quoted("\x01\x02\x03", 12), "");
}

TEST(JsonText, PrefixCountsCharactersAsTheyAreWritten) {
    // "aП漢😀" then a stray byte: boundaries at 0, 1, 3, 6, 10, 11
    const std::string s = "a\xd0\x9f\xe6\xbc\xa2\xf0\x9f\x98\x80\xff";
    const std::size_t expected[] = {0, 1, 3, 6, 10, 11, 11};
    for (std::size_t chars = 0; chars < std::size(expected); ++chars) {
        SCOPED_TRACE(chars);
        EXPECT_EQ(utf8_prefix_of_chars(s.data(), s.size(), chars), expected[chars]);
    }
}

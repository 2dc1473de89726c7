#include "text/utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(Utf8, MakePrintableKeepsCharactersAndReplacesTheRest) {
    struct Row {
        const char* in;
        const char* out;
    };
    const Row rows[] = {
        {"bash", "bash"},
        {"\xd0\x9f\xd1\x80\xd0\xbe\xd1\x86", "\xd0\x9f\xd1\x80\xd0\xbe\xd1\x86"},  // Cyrillic stays
        {"\xe6\xbc\xa2\xf0\x9f\x98\x80", "\xe6\xbc\xa2\xf0\x9f\x98\x80"},          // 3- and 4-byte stay
        {"a\xff\xfe" "b", "a??b"},                  // bytes no character starts with
        {"x\xc2\x9b[2J", "x?[2J"},                  // C1 control introducer: one character, one '?'
        {"\xc2\xa0" "a", "\xc2\xa0" "a"},           // U+00A0 is no control
        {"tab\there\r\x1b[0m\x7f", "tab?here??[0m?"},  // C0 controls and DEL
        {"\xd0\x9f\xd1", "\xd0\x9f?"},              // cut short at the end (Linux comm at 15 bytes)
        {"\xe6\xbc" "a", "??a"},                    // cut short in the middle
        {"\xc0\xaf\xe0\x80\xaf", "?????"},          // overlong forms
        {"\xed\xa0\x80", "???"},                    // a surrogate
        {"\xf4\x90\x80\x80\xf5", "?????"},          // past U+10FFFF
        {"\x80" "a", "?a"},                         // a stray continuation byte
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        char text[64];
        std::strcpy(text, row.in);
        EXPECT_EQ(utf8_make_printable(text), std::strlen(row.out));
        EXPECT_STREQ(text, row.out);
    }
}

TEST(Utf8, CutEndsOnACharacterBoundary) {
    // "aП漢😀": 1 + 2 + 3 + 4 bytes, boundaries at 0, 1, 3, 6, 10
    const std::string s = "a\xd0\x9f\xe6\xbc\xa2\xf0\x9f\x98\x80";
    const std::size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (std::size_t limit = 0; limit < sizeof expected / sizeof expected[0]; ++limit) {
        SCOPED_TRACE(limit);
        EXPECT_EQ(utf8_cut_length(s.data(), s.size(), limit), expected[limit]);
    }
}
